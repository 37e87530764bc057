#pragma once
// The device connection: one open CSerialCOM and one CObjectAccess bound to
// it, published together in the two globals and cleared together. Both are
// null while disconnected; every window tests g_pObjectAccess before a call.
#include "device/object_access.h"
#include "device/serial_com.h"

#include <cstdint>
#include <memory>
#include <string>

extern CSerialCOM* g_pSerialCom;
extern CObjectAccess* g_pObjectAccess;

// One attempt: opens the port at the rate, sends the wake-up text, reads the
// product identifier and publishes the connection when it is the supported
// module's (od::kProductTarvik). On any failure nothing is published and the
// attempt's objects are destroyed.
bool TryConnect(const char* portName, uint32_t baudRate, int32_t trTimeoutMs, int32_t deviceId);

// The attempt itself, without publishing: the port and the access object of an
// identified module, owned by the caller (the access object goes first), or
// neither. openError is why the port did not open (an errno value), 0 when it
// opened. Touches no global, so that a worker thread may probe ports while
// the window keeps its own connection.
struct ModuleLink {
    std::unique_ptr<CSerialCOM> port;
    std::unique_ptr<CObjectAccess> access;
    int openError = 0;
    // Why a port that opened has no module: the identification read's failure
    // ("no reply", "bad checksum", ...) or "product N answered".
    std::string refusal;
    explicit operator bool() const { return access != nullptr; }
};
ModuleLink OpenModule(const char* portName, uint32_t baudRate, int32_t trTimeoutMs, int32_t deviceId);

// baudRate >= 1: one attempt at that rate; otherwise every rate of od::kBaudRates
// in order until one succeeds. The rate that worked goes to *rateFound (may be null).
bool ConnectDevice(const char* portName, int32_t baudRate, int32_t trTimeoutMs, int32_t deviceId,
                   uint32_t* rateFound);

// Why the port of the last attempt did not open (an errno value, see
// CSerialCOM::LastError and DescribeOpenError); 0 when it opened, so that a
// failed attempt then means the module did not answer as expected.
int LastConnectOpenError();
// Why the port of the last attempt, when it opened, had no module (see
// ModuleLink::refusal); empty after a success or a port that did not open.
const std::string& LastConnectRefusal();

// One line for the user after a failed ConnectDevice: why the port did not
// open (from LastConnectOpenError), or that it opened but no supported module
// answered, and why (LastConnectRefusal). The caller adds where the full diagnosis is found.
std::string DescribeConnectFailure(const std::string& portName, int32_t baudRate);

// Destroys the port (closing it), then the access object, and clears both globals.
void DisconnectDevice();
