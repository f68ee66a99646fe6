#pragma once
// What a secured connection (HTTPS, mail over TLS) trusts, and the German texts of a server
// certificate that is not accepted. Both TLS libraries verify; this only supplies them.

#include <string>
#include <vector>

namespace orvendal {

// The system's CA store (Debian's bundle of the ca-certificates package).
inline constexpr const char* SystemCABundle = "/etc/ssl/certs/ca-certificates.crt";

// The PEM text of the system's CA store followed by caFile (when not empty). Throws
// std::runtime_error "Zertifikatsdatei ... kann nicht gelesen werden" when caFile cannot be read.
std::string TrustedCertificates(const std::string& caFile);
// The "-----BEGIN CERTIFICATE-----" blocks of a PEM text, each with its end line.
std::vector<std::string> SplitPem(const std::string& pem);

enum class TCertificateFault { WrongHost, Expired, NotYetValid, Untrusted };
// "Zertifikat ..." saying why the certificate of host was refused.
std::string CertificateText(TCertificateFault fault, const std::string& host);

} // namespace orvendal
