#include "tables/XMLProc.h"

#include "protect/Ansi.h"
#include "tables/CSV.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace orvendal {
namespace {

// Without end-of-line normalisation, so a CR LF inside a value is kept as it came.
constexpr unsigned kParse = pugi::parse_default & ~pugi::parse_eol;

pugi::xml_node NthElement(pugi::xml_node parent, int n) {
    if (n < 1) {
        return {};
    }
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && --n == 0) {
            return child;
        }
    }
    return {};
}

int ElementCount(pugi::xml_node parent) {
    int n = 0;
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        n += child.type() == pugi::node_element;
    }
    return n;
}

struct TSniffed {
    std::string Encoding;
    size_t Skip = 0; // bytes of a byte order mark
    bool Declared = false;
};

// The encoding by byte order mark, UTF-16 shape of "<?" or declaration; UTF-8 when none.
TSniffed Sniff(std::string_view bytes) {
    static const std::pair<std::string_view, const char*> marks[] = {
        {"\xEF\xBB\xBF", "UTF-8"},
        {"\xFF\xFE", "UTF-16LE"},
        {"\xFE\xFF", "UTF-16BE"},
        {std::string_view("<\0?\0", 4), "UTF-16LE"},
        {std::string_view("\0<\0?", 4), "UTF-16BE"}};
    for (const auto& [mark, name] : marks) {
        if (bytes.starts_with(mark)) {
            return {name, mark[0] == '<' || mark[0] == '\0' ? 0 : mark.size(), true};
        }
    }
    const std::string head(bytes.substr(0, bytes.find("?>")));
    std::smatch found;
    if (head.starts_with("<?xml") && std::regex_search(head, found, EncodingAttribute())) {
        return {found[1], 0, true};
    }
    return {"UTF-8", 0, false};
}

// The document as UTF-8; false with the reason in error, naming the source and byte position.
bool Decode(std::string_view bytes, const std::string& source, std::string& text,
            std::string& error) {
    const TSniffed sniffed = Sniff(bytes);
    size_t offset = 0;
    if (DecodeText(bytes.substr(sniffed.Skip), sniffed.Encoding, text, offset)) {
        return true;
    }
    const std::string at = std::to_string(offset + sniffed.Skip);
    if (offset == std::string::npos) {
        error = source + " gibt die unbekannte Kodierung " + sniffed.Encoding + " an";
    } else if (sniffed.Declared) {
        error = source + " enthält an Byte-Position " + at +
                " Text, der in der angegebenen Kodierung " + sniffed.Encoding + " ungültig ist";
    } else {
        error = source + " gibt keine Kodierung an und ist an Byte-Position " + at +
                " kein gültiges UTF-8";
    }
    return false;
}

// The parser's reason in the program's language (pugixml's own texts are English).
const char* ParseProblem(const pugi::xml_parse_result& result) {
    switch (result.status) {
    case pugi::status_out_of_memory:
        return "zu wenig Speicher";
    case pugi::status_unrecognized_tag:
        return "unbekannte Markierung";
    case pugi::status_bad_pi:
        return "fehlerhafte Deklaration oder Verarbeitungsanweisung";
    case pugi::status_bad_comment:
        return "fehlerhafter Kommentar";
    case pugi::status_bad_cdata:
        return "fehlerhafter CDATA-Abschnitt";
    case pugi::status_bad_doctype:
        return "fehlerhafte Dokumenttyp-Deklaration";
    case pugi::status_bad_pcdata:
        return "fehlerhafter Text";
    case pugi::status_bad_start_element:
        return "fehlerhaftes Start-Tag";
    case pugi::status_bad_attribute:
        return "fehlerhaftes Attribut";
    case pugi::status_bad_end_element:
        return "fehlerhaftes End-Tag";
    case pugi::status_end_element_mismatch:
        return "End-Tag passt nicht zum Start-Tag";
    case pugi::status_ok:
    case pugi::status_no_document_element:
        return "kein Wurzelelement";
    default:
        return "nicht lesbar";
    }
}

std::string EmptyTableText() {
    TCSVFile file;
    file.OutputFormat = 2;
    file.FormatTable();
    return file.Text();
}

} // namespace

const std::regex& EncodingAttribute() {
    static const std::regex attribute(R"(encoding\s*=\s*["']([^"']*)["'])");
    return attribute;
}

bool TXMLModul::Open() {
    if (!active_) {
        LoadBytes(EmptyTableText(), "Die leere Tabelle");
    }
    return active_;
}

bool TXMLModul::LoadFromFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in.is_open()) {
        lastError_ = "Die Datei " + fileName + " kann nicht gelesen werden";
        rows_.clear();
        document_.reset();
        return active_ = false;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return LoadBytes(bytes.str(), "Die Datei " + fileName);
}

bool TXMLModul::LoadFromStream(TStream& stream) {
    std::string bytes(stream.Size() - stream.Position(), '\0');
    bytes.resize(stream.Read(bytes.data(), bytes.size()));
    if (!LoadBytes(bytes, "Das XML-Dokument")) {
        throw std::runtime_error(lastError_);
    }
    return true;
}

// A document that failed to load is left empty, not half-read, as the DOM the table was made
// for does.
bool TXMLModul::LoadBytes(std::string_view bytes, const std::string& source) {
    rows_.clear();
    std::string text;
    active_ = Decode(bytes, source, text, lastError_);
    if (active_) {
        const pugi::xml_parse_result result =
            document_.load_buffer(text.data(), text.size(), kParse, pugi::encoding_utf8);
        active_ = result && Table();
        if (!active_) {
            lastError_ = source + " ist kein lesbares XML-Dokument: " + ParseProblem(result) +
                         " (an Zeichen " + std::to_string(result.offset) + ")";
        }
    }
    if (!active_) {
        document_.reset();
    }
    return active_;
}

const std::vector<pugi::xml_node>& TXMLModul::Rows() const {
    if (rows_.empty()) {
        for (pugi::xml_node child = Table().first_child(); child; child = child.next_sibling()) {
            if (child.type() == pugi::node_element) {
                rows_.push_back(child);
            }
        }
    }
    return rows_;
}

int TXMLModul::RowCount() const {
    return static_cast<int>(Rows().size());
}

pugi::xml_node TXMLModul::Row(int row) const {
    const auto& rows = Rows();
    return row >= 1 && row <= static_cast<int>(rows.size()) ? rows[static_cast<size_t>(row) - 1]
                                                            : pugi::xml_node();
}

pugi::xml_node TXMLModul::Field(int row, int field) const {
    return NthElement(Row(row), field);
}

int TXMLModul::FieldCount(int row) const {
    const pugi::xml_node r = Row(row);
    return r ? ElementCount(r) : -1;
}

std::string TXMLModul::GetValue(int row, int field) const {
    return Field(row, field).text().get();
}

std::string TXMLModul::GetName(int row, int field) const {
    return field <= 0 ? Row(row).name() : Field(row, field).name();
}

void TXMLModul::SetValue(int row, int field, const std::string& value) {
    if (!active_ || row < 1 || field < 1) {
        return;
    }
    pugi::xml_node table = Table();
    const std::string rowName = RowCount() == 0 ? "R" : Row(1).name();
    for (int n = RowCount(); n < row; ++n) {
        table.append_child(rowName.c_str());
    }
    rows_.clear();
    pugi::xml_node target = Row(row);
    std::string name;
    for (int i = ElementCount(target); i < field; ++i) {
        if (row > 1 && FieldCount(1) > i) {
            name = Field(1, i + 1).name();
        }
        if (name.empty()) {
            name = std::to_string(i); // not "C" + ...: GCC 12 warns falsely on that at -O3
            name.insert(name.begin(), 'C');
        }
        target.append_child(name.c_str());
    }
    pugi::xml_node cell = Field(row, field);
    cell.text().set(value.c_str());
}

} // namespace orvendal
