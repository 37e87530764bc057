#include "cli/doctor.h"

#include "device/port_info.h"

#include <nlohmann/json.hpp>

using nlohmann::json;

namespace {

json FindingJson(const DoctorFinding& f) {
    switch (f.kind) {
    case DoctorFinding::Problem:
        return {{"ok", false}, {"problem", f.text}, {"fix", f.fix.empty() ? json() : json(f.fix)}};
    case DoctorFinding::Note:
        return {{"ok", true}, {"note", f.text}};
    case DoctorFinding::Ok:
        break;
    }
    return {{"ok", true}, {"text", f.text}};
}

json FindingsJson(const std::vector<DoctorFinding>& findings) {
    json list = json::array();
    for (const DoctorFinding& f : findings) list.push_back(FindingJson(f));
    return list;
}

json RateJson(const DoctorRate& r) {
    json j = {{"rate", r.rate}};
    switch (r.answer) {
    case DoctorRate::Module:
        j["answer"] = "module";
        j["product"] = r.product;
        j["firmware"] = r.firmware;
        j["hardware"] = r.hardware;
        break;
    case DoctorRate::OtherDevice:
        j["answer"] = "other device";
        j["product"] = r.product;
        break;
    case DoctorRate::NotOpened:
        j["answer"] = "not opened";
        j["reason"] = r.reason;
        break;
    case DoctorRate::Nothing:
        j["answer"] = "nothing";
        break;
    }
    return j;
}

int Status(const DoctorReport& report) { return report.modulePort.empty() ? 1 : 0; }

}  // namespace

std::string DoctorJson(const DoctorReport& report) {
    json ports = json::array();
    for (const DoctorPort& p : report.ports) {
        json rates = json::array();
        for (const DoctorRate& r : p.rates) rates.push_back(RateJson(r));
        json port = {{"port", p.port},         {"device", p.device}, {"aliases", p.aliases},
                     {"findings", FindingsJson(p.findings)}, {"rates", rates}};
        if (!p.present.empty()) port["present"] = p.present;
        if (!p.ratesNotTried.empty()) port["rates_not_tried"] = p.ratesNotTried;
        if (p.searched) port["searched"] = true;
        ports.push_back(port);
    }
    json result = {{"module", !report.modulePort.empty()}};
    result["port"] = report.modulePort.empty() ? json() : json(report.modulePort);
    result["rate"] = report.modulePort.empty() ? json() : json(report.moduleRate);
    json j = {{"services", FindingsJson(report.services)},
              {"general", FindingsJson(report.general)},
              {"ports", ports},
              {"result", result}};
    return j.dump(2);
}

int RunDoctor(const DoctorRequest& request, std::FILE* out, const DoctorRoots& roots) {
    DoctorProgress progress;
    // Each line as soon as it is known: the rate scan takes seconds.
    progress.line = [out](const DoctorLine& line) {
        std::fprintf(out, "%s\n", line.text.c_str());
        std::fflush(out);
    };
    return Status(Diagnose(request, roots, progress));
}

int RunDoctorJson(const DoctorRequest& request, std::FILE* out, const DoctorRoots& roots) {
    const DoctorReport report = Diagnose(request, roots);
    std::fprintf(out, "%s\n", DoctorJson(report).c_str());
    return Status(report);
}

int RunPorts(bool asJson, std::FILE* out, const std::string& root) {
    const std::vector<SerialPortInfo> ports = ListSerialPorts(root);
    if (asJson) {
        json list = json::array();
        for (const SerialPortInfo& p : ports) list.push_back({{"path", p.path}, {"description", p.description}});
        std::fprintf(out, "%s\n", list.dump(2).c_str());
        return 0;
    }
    for (const SerialPortInfo& p : ports) std::fprintf(out, "%s\t%s\n", p.path.c_str(), p.description.c_str());
    return 0;
}
