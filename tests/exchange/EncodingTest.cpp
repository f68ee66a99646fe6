// Device exports in every encoding a handheld writes, and damaged ones: the text reaches the
// server's copy of export.mdb and MBlob as it was meant, or the run stops before anything is
// sent or fetched and the handheld's file stays as it was.

#include "ExchangeFixture.h"

#include <QString>

namespace orvendal::testing {
namespace {

const std::string kMeant = "€ Grüße";
const std::string kAnsi = "\x80 Gr\xFC\xDF\x65"; // Windows-1252
const std::string kUnread = "Der Geräte-Export kann nicht gelesen werden: ",
                  kFile = kUnread + "Die Datei work/ExportData.xml ";

std::string Document(const std::string& declaration, const std::string& value) {
    return (declaration.empty() ? ""
                                : "<?xml version=\"1.0\" encoding=\"" + declaration + "\"?>\r\n") +
           "<table><record><Id>1</Id><AuftragId>1000</AuftragId><FeldId>55</FeldId><FeldValue>" +
           value + "</FeldValue><Created>05.12.2026 10:15:00</Created><Creator>1</Creator>" +
           "</record></table>";
}

using ExchangeEncodingTest = ExchangeFixture;

const std::string kStopped =
    "\nwork: mobil.mdb\nserver: import.md_\ncard: ExportData.xm_\njobs: 0\n";
const std::string kSentAndFetched =
    "I Fehlermeldung beim Mail-Abrufen der Daten: Fehler bei E-Mail-Verarbeitung (Schritt 2: zlib: "
    "beschädigte Daten)\nwork: mobil.mdb\nserver: export.md_ import.md_\ncard: "
    "ExportData.xm_\njobs: 0\n";

// An export that is not read stops the run before anything is sent or fetched; the handheld's
// file stays as it was.
TEST_F(ExchangeEncodingTest, TextArrivesAsMeantOrTheRunStops) {
    std::string truncated = Deflated(Document("UTF-8", kMeant));
    truncated.resize(truncated.size() - 6);
    // as UTF-16LE with a byte order mark (Qt's UTF-16 is the machine's, little-endian)
    const QString text = QString::fromStdString(Document("UTF-16", kMeant));
    const std::string utf16(reinterpret_cast<const char*>(text.utf16()), 2 * text.size());
    const std::pair<std::string, std::string> cases[] = {
        {Deflated(Document("UTF-8", kMeant)), ""},
        {Deflated("\xFF\xFE" + utf16), ""},
        {Deflated(Document("ISO-8859-1", kAnsi)), ""}, // read as Windows-1252
        {Deflated(Document("windows-1252", kAnsi)), ""},
        {Deflated(Document("ISO-8859-15", "\xA4 Gr\xFC\xDF\x65")), ""},
        // named at the first byte that is not ASCII
        {Deflated(Document("", kAnsi)), kFile + "gibt keine Kodierung an und ist an Byte-Position "
                                                "82 kein gültiges UTF-8"},
        {Deflated(Document("UTF-8", "Gr\xFC\xDF\x65")),
         kFile + "enthält an Byte-Position 124 Text, der in der angegebenen Kodierung UTF-8 "
                 "ungültig ist"},
        {"this is no zlib stream", kUnread + "zlib: beschädigte Daten"},
        {truncated, kUnread + "zlib: die Daten enden vor dem Ende des Datenstroms"},
        {Deflated("Id;AuftragId\n1;2\n"),
         kFile + "ist kein lesbares XML-Dokument: kein Wurzelelement (an Zeichen 17)"},
    };
    for (const auto& [bytes, error] : cases) {
        SCOPED_TRACE(std::to_string(bytes.size()) + " bytes " + error);
        Fresh();
        WriteText(Handheld("ExportData.xm_"), bytes);
        WriteText(Server("import.md_"), "the answer");
        Run();
        EXPECT_EQ(Outcome(), error.empty() ? kSentAndFetched : "E " + error + kStopped);
        EXPECT_EQ(ReadText(Handheld("ExportData.xm_")), bytes);
        const std::string row = error.empty() ? "1|" + kMeant + "\n" : "";
        EXPECT_EQ(Dump(Work("mobil.mdb"), "MBlob", "Id,FeldValue"), row);
        if (error.empty()) {
            EXPECT_EQ(Dump(SentExport(), "ExportData", "Id,FeldValue"), row);
        }
    }
}

} // namespace
} // namespace orvendal::testing
