#pragma once
// tarvik-cli doctor: the doctor's report (device/doctor.h) printed line by
// line as the checks run, or as one JSON object.
#include "device/doctor.h"

#include <cstdio>
#include <string>

// Writes the diagnosis to `out`. Returns 0 when a module answered on some
// port, 1 otherwise.
int RunDoctor(const DoctorRequest& request, std::FILE* out, const DoctorRoots& roots = {});

// The same diagnosis as one JSON object (DoctorJson), written when it is done.
int RunDoctorJson(const DoctorRequest& request, std::FILE* out, const DoctorRoots& roots = {});

// The report as JSON: "services" (findings), "general" (findings not about
// one port), "ports" (each with its findings and the rates tried with what
// answered), "result". A finding is {"ok": bool, "problem": text or null,
// "fix": text or null, "text": text}.
std::string DoctorJson(const DoctorReport& report);

// tarvik-cli ports: each port path, a tab and its description; or a JSON
// array of {"path", "description"}.
int RunPorts(bool json, std::FILE* out, const std::string& root = "/");
