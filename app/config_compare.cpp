#include "app/config_compare.h"

#include "app/object_values.h"
#include "device/connection.h"
#include "device/object_access.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

std::string Hex(uint16_t index) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02x", index);
    return text;
}

// "sp (0x1f)", or the catalogue's name for an object without a mnemonic.
std::string Named(const od::ObjectInfo* info) {
    return std::string(info->mnemonic[0] ? info->mnemonic : info->name) + " (" + Hex(info->index) + ")";
}

std::string Reason() { return g_pObjectAccess ? FailureText(g_pObjectAccess) : "no connection"; }

template <typename Call>
bool Attempt(Call call, const RetryAfterFailure& retry) {
    for (int failures = 1;; ++failures) {
        if (g_pObjectAccess && call()) return true;
        if (!g_pObjectAccess || !retry || !retry(failures)) return false;
    }
}

// The label as a row shows it: the page's text without its closing colon.
std::string RowLabel(const od::ObjectInfo* info) {
    const od::ConfigField* field = od::FindConfigField(info->index);
    if (field == nullptr) return info->mnemonic[0] ? info->mnemonic : Hex(info->index);
    std::string label = field->label;
    while (!label.empty() && (label.back() == ':' || label.back() == ' ')) label.pop_back();
    return label;
}

bool Number(const std::string& text, double* value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    *value = std::strtod(text.c_str(), &end);
    return *end == '\0' && errno == 0;
}

// A limit as the pages' range labels write it: "0", "0.001", "60000".
std::string LimitText(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", v);
    return text;
}

// The slot of a value limited to lo .. hi in the object's type.
uint32_t Limited(const od::ObjectInfo* info, uint32_t slot, double lo, double hi, bool* limited) {
    double v = 0;
    Number(FormatSlot(info->type, slot), &v);
    *limited = v < lo || v > hi;
    if (!*limited) return slot;
    uint32_t out = slot;
    ParseValue(info->type, LimitText(std::clamp(v, lo, hi)), &out);
    return out;
}

}  // namespace

std::vector<const od::ObjectInfo*> ConfigurableObjects() {
    int n = 0;
    const od::ObjectInfo* table = od::Catalogue(&n);
    std::vector<const od::ObjectInfo*> list;
    for (int i = 0; i < n; ++i)
        if (table[i].access == od::ACCESS_GET_SET) list.push_back(&table[i]);
    return list;
}

ConfigReading ReadConfiguration(const RetryAfterFailure& retry, bool leaveOutFailed) {
    ConfigReading r;
    if (!g_pObjectAccess) {
        r.error = "no connection";
        return r;
    }
    for (const od::ObjectInfo* info : ConfigurableObjects()) {
        uint32_t slot = 0;
        if (!Attempt([&] { return g_pObjectAccess->GetObjectXXX(info->type, info->index, 0, &slot, 1); }, retry)) {
            if (leaveOutFailed) continue;
            r.failed = info;
            r.error = "cannot read " + Named(info) + ": " + Reason();
            r.entries.clear();
            return r;
        }
        r.entries.push_back({info->mnemonic, info->index, FormatSlot(info->type, slot)});
    }
    r.ok = true;
    return r;
}

bool SameValue(const std::string& a, const std::string& b) {
    double x, y;
    if (Number(a, &x) && Number(b, &y)) return x == y;
    return a == b;
}

std::vector<CompareRow> CompareConfiguration(const std::vector<ConfigEntry>& file,
                                             const std::vector<DumpEntry>& module) {
    std::vector<CompareRow> rows;
    for (const ConfigEntry& e : file) {
        CompareRow row;
        row.info = e.info;
        row.index = e.info->index;
        row.mnemonic = e.info->mnemonic;
        row.label = RowLabel(e.info);
        row.line = e.entry.line;
        for (const DumpEntry& m : module)
            if (m.index == row.index) row.moduleValue = m.value;
        row.fileValue = FormatSlot(e.info->type, e.slot);
        row.writeSlot = e.slot;
        if (const auto limits = od::PageLimits(row.index)) {
            row.writeSlot = Limited(e.info, e.slot, limits->minimum, limits->maximum, &row.limited);
            if (row.limited)
                row.note = "limited to " + LimitText(limits->minimum) + " ~ " + LimitText(limits->maximum) +
                           " (file: " + row.fileValue + ")";
        }
        row.writeValue = FormatSlot(e.info->type, row.writeSlot);
        row.differs = row.moduleValue.empty() || !SameValue(row.writeValue, row.moduleValue);
        rows.push_back(row);
    }
    return rows;
}

bool WriteConfiguration(const std::vector<ConfigWrite>& writes, std::string* error, const RetryAfterFailure& retry) {
    for (const ConfigWrite& w : writes) {
        if (!Attempt([&] {
                uint32_t echo = w.slot;
                return g_pObjectAccess->SetObjectXXX(w.info->type, w.info->index, &echo);
            }, retry)) {
            *error = "set " + Named(w.info) + " failed: " + Reason();
            return false;
        }
    }
    if (!Attempt([&] {
            int32_t command = od::CMD_FLASH_WRITE;
            return g_pObjectAccess->SetObjectXXX(OBJ_INT32, od::OBJ_COMMAND, &command);
        }, retry)) {
        *error = "flash write (command 1) failed: " + Reason();
        return false;
    }
    return true;
}

bool ReadBackConfiguration(const std::vector<ConfigWrite>& writes, std::vector<ReadBack>* results, std::string* error,
                           const RetryAfterFailure& retry) {
    results->clear();
    for (const ConfigWrite& w : writes) {
        uint32_t slot = 0;
        if (!Attempt([&] { return g_pObjectAccess->GetObjectXXX(w.info->type, w.info->index, 0, &slot, 1); },
                     retry)) {
            *error = "read-back of " + Named(w.info) + " failed: " + Reason();
            return false;
        }
        ReadBack r;
        r.write = w;
        r.wrote = FormatSlot(w.info->type, WidenVariable(w.info->type, w.slot));
        r.kept = FormatSlot(w.info->type, slot);
        r.keptDiffers = !SameValue(r.wrote, r.kept);
        results->push_back(r);
    }
    return true;
}
