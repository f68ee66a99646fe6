#pragma once
// The demo: a self-contained sandbox in one folder — a program folder with the enciphered
// settings of one device, a folder-backed handheld holding the device's export, and a shared
// folder in which the file-mode mail transport finds the server's answer.

#include <string>

namespace orvendal::demo {

struct TSandbox {
    std::string Root;         // ends with "/"
    std::string ProgramDir;   // Root + "program/": the device's "*.ini" file
    std::string WorkDir;      // Root + "work/": the device's working folder
    std::string HandheldRoot; // Root + "handheld/": the handheld's storage
    std::string ServerDir;    // Root + "server/": the shared folder of the mail transport
    std::string DeviceNumber = "4711";
    std::string Identity = "PPC-DEMO-01";
    std::string DisplayName = "Demo-Gerät Kassel";
    // Nothing listens on port 1 of loopback: the probe fails at once.
    std::string TransferAddress = "http://127.0.0.1:1/";
};

// Lays out a fresh sandbox under root (an existing sandbox there is replaced). Throws
// std::runtime_error with the reason when a file cannot be made.
TSandbox MakeSandbox(const std::string& root);

} // namespace orvendal::demo
