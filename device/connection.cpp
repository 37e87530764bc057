#include "device/connection.h"

#include "device/object_dictionary.h"

#include <chrono>
#include <thread>

CSerialCOM* g_pSerialCom = nullptr;
CObjectAccess* g_pObjectAccess = nullptr;

namespace {
constexpr auto kPreambleWait = std::chrono::milliseconds(33);
constexpr int kMaxDiscardReads = 64;  // 16 KB
int g_lastOpenError = 0;
std::string g_lastRefusal;
}  // namespace

int LastConnectOpenError() { return g_lastOpenError; }
const std::string& LastConnectRefusal() { return g_lastRefusal; }

std::string DescribeConnectFailure(const std::string& portName, int32_t baudRate) {
    std::string text;
    if (g_lastOpenError != 0) {
        text = "The port did not open: " + DescribeOpenError(g_lastOpenError, portName) + ".";
    } else {
        text = "The port " + portName + " opened, but no supported module answered " +
               (baudRate >= 1 ? "at " + std::to_string(baudRate) + " bit/s" : "at any rate") +
               (g_lastRefusal.empty() ? std::string(".") : " (" + g_lastRefusal + ").");
    }
    return text;
}

ModuleLink OpenModule(const char* portName, uint32_t baudRate, int32_t trTimeoutMs, int32_t deviceId) {
    ModuleLink link;
    auto port = std::make_unique<CSerialCOM>(portName, baudRate);  // the full path; a too long one fails to open
    if (!port->Open()) {
        link.openError = port->LastError();
        return link;
    }
    port->Purge();
    port->SetTimeouts(1, 0, 1, 0, 100);

    // Wake-up text; whatever the module answers to it is discarded below.
    // Failed writes are not looked at: the identification read decides.
    static const char kLines[] = "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n";
    static const char kStar[] = "*\r\n";
    port->Write(kLines, 20);
    std::this_thread::sleep_for(kPreambleWait);
    port->Write(kStar, 3);
    std::this_thread::sleep_for(kPreambleWait);

    // Discard the answer to the wake-up text. A module that streams its sync
    // lines without pause would keep the queue filled for ever, so the
    // discarding stops after kMaxDiscardReads reads; what is left is dropped
    // by the protocol's own drain or skipped while it hunts for the STX.
    uint8_t discard[256];
    for (int reads = 0; reads < kMaxDiscardReads && port->GetInQueue() > 0; ++reads) {
        if (port->Read(discard, sizeof discard) <= 0) break;
    }

    auto access = std::make_unique<CObjectAccess>(port.get(), trTimeoutMs, deviceId);
    port->SetTimeouts(0, 0, 1, 0, 100);

    int32_t product = 0;
    if (!access->GetObjectXXX(OBJ_INT32, od::OBJ_PRODUCT_ID, 0, &product, 1)) {
        link.refusal = FailureText(access.get());
    } else if (product != od::kProductTarvik) {
        link.refusal = "product " + std::to_string(product) + " answered";
    } else {
        link.port = std::move(port);
        link.access = std::move(access);
    }
    // Otherwise the access object goes first (its lock with it), then the port.
    return link;
}

bool TryConnect(const char* portName, uint32_t baudRate, int32_t trTimeoutMs, int32_t deviceId) {
    // A connection that is still published would be lost (and its port kept
    // open) once the new one replaces the globals: end it first.
    if (g_pSerialCom || g_pObjectAccess) DisconnectDevice();
    ModuleLink link = OpenModule(portName, baudRate, trTimeoutMs, deviceId);
    g_lastOpenError = link.openError;
    g_lastRefusal = link.refusal;
    if (!link) return false;
    g_pSerialCom = link.port.release();
    g_pObjectAccess = link.access.release();
    return true;
}

bool ConnectDevice(const char* portName, int32_t baudRate, int32_t trTimeoutMs, int32_t deviceId,
                   uint32_t* rateFound) {
    if (baudRate >= 1) {
        if (!TryConnect(portName, static_cast<uint32_t>(baudRate), trTimeoutMs, deviceId)) return false;
        if (rateFound) *rateFound = static_cast<uint32_t>(baudRate);
        return true;
    }
    for (uint32_t rate : od::kBaudRates) {
        if (TryConnect(portName, rate, trTimeoutMs, deviceId)) {
            if (rateFound) *rateFound = rate;
            return true;
        }
    }
    return false;
}

void DisconnectDevice() {
    if (g_pSerialCom) {
        delete g_pSerialCom;
        g_pSerialCom = nullptr;
    }
    if (g_pObjectAccess) {
        delete g_pObjectAccess;
        g_pObjectAccess = nullptr;
    }
}
