// Leaks of the libraries under test that are not ours to free, for LeakSanitizer builds.
// fontconfig keeps its caches until the process ends; vmime's IMAP parser loses a few bytes of
// the SELECT reply it parses when a folder is opened.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:orvendal::TMailClient::OpenInbox\n";
}
