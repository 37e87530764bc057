#pragma once
// Object names and values as tarvik-cli reads and prints them: an object is
// given as hex (0x37), decimal or a mnemonic; a value is held in one 4-byte
// slot as the protocol stores it (integers sign-extended, float32 as float).
#include <cstdint>
#include <optional>
#include <string>

struct ObjectRef {
    uint16_t index = 0;
    uint8_t type = 8;       // catalogue type, int32 for an object it lacks
    int32_t count = 1;      // catalogue count, 1 for an object it lacks
    std::string mnemonic;   // empty when none
};

// Hex, decimal (0 .. 0xffff) or mnemonic; nothing for anything else.
std::optional<ObjectRef> ResolveObject(const std::string& text);

// "int8" .. "float32" to the type code, -1 for anything else; and back.
int TypeCode(const std::string& name);
const char* TypeName(uint8_t type);

// Integers in decimal, float32 as "%.9g".
std::string FormatSlot(uint8_t type, uint32_t slot);

// A variable as SetObjectXXX leaves it (1, 2 or 4 bytes) widened to the slot
// a get would store (int8 and int16 sign-extended).
uint32_t WidenVariable(uint8_t type, uint32_t variable);

// Parses a value for `type` into the caller's variable as SetObjectXXX wants
// it (int8 in the low byte, and so on). Rejects text that is not a number of
// that type or does not fit it.
bool ParseValue(uint8_t type, const std::string& text, uint32_t* slot);
