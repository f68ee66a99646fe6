#include "tables/XMLProc.h"

#include "tables/CSV.h"

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

std::string EmptyTableText() {
    TCSVFile file;
    file.OutputFormat = 2;
    file.FormatTable();
    return file.Text();
}

} // namespace

bool TXMLModul::Open() {
    if (!active_) {
        const std::string text = EmptyTableText();
        active_ = static_cast<bool>(document_.load_buffer(text.data(), text.size(), kParse));
    }
    return active_;
}

// A document that failed to load is left empty, not half-read, as the DOM the table was made
// for does.
bool TXMLModul::Load(const pugi::xml_parse_result& result) {
    active_ = result && Table();
    if (!active_) {
        lastError_ = result ? "Das Dokument hat kein Wurzelelement" : result.description();
        document_.reset();
    }
    return active_;
}

bool TXMLModul::LoadFromFile(const std::string& fileName) {
    const pugi::xml_parse_result result = document_.load_file(fileName.c_str(), kParse);
    const bool loaded = Load(result);
    if (result.status == pugi::status_file_not_found || result.status == pugi::status_io_error) {
        lastError_ = "Die Datei " + fileName + " kann nicht gelesen werden";
    }
    return loaded;
}

bool TXMLModul::LoadFromStream(TStream& stream) {
    std::vector<char> bytes(stream.Size() - stream.Position());
    bytes.resize(stream.Read(bytes.data(), bytes.size()));
    if (!Load(document_.load_buffer(bytes.data(), bytes.size(), kParse))) {
        throw std::runtime_error(lastError_);
    }
    return true;
}

int TXMLModul::RowCount() const {
    return ElementCount(Table());
}

pugi::xml_node TXMLModul::Row(int row) const {
    return NthElement(Table(), row);
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
