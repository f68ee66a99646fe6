#include "transport/Certificates.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace orvendal {

namespace {

// The file's text; false when it cannot be read.
bool ReadText(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    text.assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

} // namespace

std::string TrustedCertificates(const std::string& caFile) {
    std::string system, extra;
    ReadText(SystemCABundle, system); // without a CA store only the CA file is trusted
    if (!caFile.empty() && !ReadText(caFile, extra))
        throw std::runtime_error("Zertifikatsdatei " + caFile + " kann nicht gelesen werden");
    return system + "\n" + extra;
}

std::vector<std::string> SplitPem(const std::string& pem) {
    static const std::string begin = "-----BEGIN CERTIFICATE-----";
    static const std::string end = "-----END CERTIFICATE-----";
    std::vector<std::string> blocks;
    for (size_t at = pem.find(begin); at != std::string::npos; at = pem.find(begin, at)) {
        size_t stop = pem.find(end, at);
        if (stop == std::string::npos)
            break;
        blocks.push_back(pem.substr(at, stop + end.size() - at) + "\n");
        at = stop;
    }
    return blocks;
}

std::string CertificateText(TCertificateFault fault, const std::string& host) {
    switch (fault) {
    case TCertificateFault::WrongHost:
        return "Zertifikat gilt nicht für den Server " + host;
    case TCertificateFault::Expired:
        return "Zertifikat des Servers " + host + " ist abgelaufen";
    case TCertificateFault::NotYetValid:
        return "Zertifikat des Servers " + host + " ist noch nicht gültig";
    case TCertificateFault::Untrusted:
        break;
    }
    return "Zertifikat des Servers " + host + " stammt von keiner vertrauenswürdigen Stelle";
}

} // namespace orvendal
