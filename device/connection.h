#pragma once
// The device connection: one open CSerialCOM and one CObjectAccess bound to
// it, published together in the two globals and cleared together. Both are
// null while disconnected; every window tests g_pObjectAccess before a call.
#include <cstdint>
#include <string>

class CSerialCOM;
class CObjectAccess;

extern CSerialCOM* g_pSerialCom;
extern CObjectAccess* g_pObjectAccess;

// The rates tried by automatic detection, in order.
extern const uint32_t kBaudRates[8];

// Product identifier (object 0x02) of the supported module.
constexpr int32_t kSupportedProductId = 1011;

// One attempt: opens the port at the rate, sends the wake-up text, reads the
// product identifier and publishes the connection when it is 1011. On any
// failure nothing is published and the attempt's objects are destroyed.
bool TryConnect(const char* portName, uint32_t baudRate, int32_t trTimeoutMs, int32_t deviceId);

// baudRate >= 1: one attempt at that rate; otherwise every rate of kBaudRates
// in order until one succeeds. The rate that worked goes to *rateFound (may be null).
bool ConnectDevice(const char* portName, int32_t baudRate, int32_t trTimeoutMs, int32_t deviceId,
                   uint32_t* rateFound);

// Why the port of the last attempt did not open (an errno value, see
// CSerialCOM::LastError and DescribeOpenError); 0 when it opened, so that a
// failed attempt then means the module did not answer as expected.
int LastConnectOpenError();

// One or two lines for the user after a failed ConnectDevice: why the port did
// not open (from LastConnectOpenError), or that it opened but no supported
// module answered, with the command that diagnoses the link in full.
std::string DescribeConnectFailure(const std::string& portName, int32_t baudRate);

// Destroys the port (closing it), then the access object, and clears both globals.
void DisconnectDevice();
