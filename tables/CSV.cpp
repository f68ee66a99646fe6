#include "tables/CSV.h"

#include "db/SQLADO.h"
#include "protect/Ansi.h"
#include "tables/UserFkt.h"
#include "tables/XMLProc.h"

#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace orvendal {
namespace {

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size())) {
        text.replace(p, from.size(), to);
    }
    return text;
}

// A value must not carry the separator: it becomes "," (or ";" when "," separates).
std::string WithoutSeparator(const std::string& value, const std::string& separator) {
    return separator == "," ? ReplaceAll(value, ",", ";") : ReplaceAll(value, separator, ",");
}

std::string ReplaceChar(const std::string& value) {
    std::string text = ReplaceAll(Trim(value), "&", "&amp;");
    text = ReplaceAll(text, ">", "&gt;");
    text = ReplaceAll(text, "<", "&lt;");
    return ReplaceAll(text, "\"", "&quot;");
}

std::string StartTag(const std::string& name) {
    return "<" + name + ">";
}
std::string EndTag(const std::string& name) {
    return "</" + name + ">";
}

} // namespace

void TCSVRecord::ParseLine(const std::string& text) {
    Fields.clear();
    std::string s = Trim(text);
    const char separator = Separator.empty() ? '\0' : Separator[0];
    for (size_t p = s.find(separator); !Separator.empty() && p != std::string::npos;
         p = s.find(separator)) {
        Fields.push_back(Trim(s.substr(0, p)));
        s = Trim(s.substr(p + 1));
    }
    Fields.push_back(s);
}

void TCSVFile::Insert(int index, std::string text) {
    Lines.insert(Lines.begin() + index, TCSVLine{std::move(text), nullptr});
}

void TCSVFile::Delete(int index) {
    Lines.erase(Lines.begin() + index);
}

void TCSVFile::LoadFromFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        throw std::runtime_error("Die Datei " + fileName + " kann nicht geöffnet werden");
    }
    std::ostringstream text;
    text << in.rdbuf();
    SetText(text.str());
}

void TCSVFile::LoadFromStream(TStream& stream) {
    std::string text(stream.Size() - stream.Position(), '\0');
    text.resize(stream.Read(text.data(), text.size()));
    SetText(text);
}

void TCSVFile::SetText(const std::string& text) {
    Clear();
    for (std::string& line : SplitLines(text)) {
        Add(std::move(line));
    }
    ParseAll();
}

void TCSVFile::ParseAll() {
    for (int i = Count() - 1; i >= 0; --i) {
        if (Trim(Lines[i].Text).empty()) {
            Delete(i);
        }
    }
    for (int i = 0; i < Count(); ++i) {
        NewRecord(i);
        Lines[i].Record->ParseLine(Lines[i].Text);
    }
}

void TCSVFile::NewRecord(int index) {
    Lines[index].Record = std::make_unique<TCSVRecord>(Separator, &FieldNames);
}

bool TCSVFile::LoadFromSQL(TSQLADOServer* server, const std::string& statement, bool clearFirst) {
    if (server == nullptr || !server->Connected) {
        return false;
    }
    if (clearFirst) {
        Clear();
    }
    FieldNames.clear();
    FieldTypes.clear();
    server->SQL = statement;
    TRecordSet rs;
    const auto addLine = [this](std::string text) {
        Add(std::move(text));
        NewRecord(Count() - 1);
        Lines.back().Record->ParseLine(Lines.back().Text);
        return Lines.back().Record.get();
    };
    if (!server->Execute(rs)) {
        FieldNames = {"SQL-Fehlermeldung"};
        FieldTypes = "c";
        addLine(server->LastError);
        return false;
    }
    if (!HasRecordSet(rs)) {
        FieldNames = {"Meldung"};
        FieldTypes = "c";
        addLine("Anzahl der betroffenden Datensätze: " + std::to_string(server->RecordsAffected()));
        return true;
    }
    const int columns = FieldCount(rs);
    for (int i = 1; i <= columns; ++i) {
        FieldNames.push_back(FieldName(rs, i));
        FieldTypes += FieldTypeLetter(rs, 0, i);
    }
    const int rows = RowCount(rs);
    for (int r = 1; r <= rows; ++r) {
        std::string line;
        for (int i = 1; i <= columns; ++i) {
            line +=
                (i > 1 ? Separator : "") + Trim(WithoutSeparator(FieldText(rs, r, i), Separator));
        }
        TCSVRecord* record = addLine(std::move(line));
        for (int i = 1; CollectTypes && i <= columns; ++i) {
            record->TypeCodes.push_back(FieldTypeLetter(rs, r, i) +
                                        std::to_string(FieldType(rs, r, i)));
        }
    }
    return true;
}

std::string TCSVFile::SeparatedValue(const std::string& value) const {
    std::string text = ReplaceAll(value, "\r\n", " ");
    text = ReplaceAll(text, "\n\n", " ");
    text = ReplaceAll(text, "\t", " ");
    text = ReplaceAll(text, "\n", " ");
    return Trim(WithoutSeparator(text, Separator));
}

// The declaration names the encoding the lines are written in: Windows-1252 with AnsiText
// (ISO-8859-1 unless the caller named an equal one), UTF-8 otherwise.
std::string TCSVFile::DeclarationText() const {
    const std::string written = AnsiText ? "ISO-8859-1" : "UTF-8";
    std::smatch found;
    if (!std::regex_search(Declaration, found, EncodingAttribute())) {
        return AnsiText ? Trim("encoding=\"" + written + "\" " + Declaration) : Declaration;
    }
    if (SameEncoding(found[1], written)) {
        return Declaration;
    }
    return found.prefix().str() + "encoding=\"" + written + "\"" + found.suffix().str();
}

std::string TCSVFile::FormatRecord(int k, const TCSVRecord& record) const {
    const bool markup = OutputFormat == 1 || OutputFormat == 2;
    std::string recordName;
    if (markup && !RecordTag.empty()) {
        recordName = RecordTag + (NumberRecords ? "_" + std::to_string(k + 1) : "");
    }
    std::string line = recordName.empty() ? "" : StartTag(recordName);
    for (size_t j = 0; j < record.Fields.size(); ++j) {
        if (markup && j < FieldNames.size()) {
            std::string name = OutputFormat == 1 ? "td" : FieldNames[j];
            if (TypedTags && j < record.TypeCodes.size()) {
                name += "_" + record.TypeCodes[j];
            }
            line += StartTag(name) + ReplaceChar(record.Fields[j]) + EndTag(name);
        } else {
            line += (j > 0 ? Separator : "") + SeparatedValue(record.Fields[j]);
        }
    }
    return recordName.empty() ? line : line + EndTag(recordName);
}

std::string TCSVFile::HeaderText(const TCSVRecord& last) const {
    std::string text;
    for (size_t j = 0; j < last.Fields.size() && j < FieldNames.size(); ++j) {
        const std::string name = Trim(FieldNames[j]);
        text += OutputFormat == 1 ? "<th>" + name + "</th>" : (j > 0 ? Separator : "") + name;
    }
    return OutputFormat == 1 ? "<tr>" + text + "</tr>" : text;
}

void TCSVFile::FormatTable() {
    for (int i = Count() - 1; i >= 0; --i) {
        if (!Lines[i].Record) {
            Delete(i);
        }
    }
    const TCSVRecord* last = nullptr;
    for (int k = 0; k < Count(); ++k) {
        if (OutputFormat == 1) {
            RecordTag = "tr";
        }
        last = Lines[k].Record.get();
        Lines[k].Text = FormatRecord(k, *last);
    }
    if (HeaderLine && last != nullptr && OutputFormat <= 1) {
        Insert(0, HeaderText(*last));
    }
    const bool markup = OutputFormat == 1 || OutputFormat == 2;
    if (markup && !TableTag.empty()) {
        Add(EndTag(TableTag));
        Insert(0, StartTag(OutputFormat == 1 ? TableTag : Trim(TableTag + " " + TableAttributes)));
    }
    if (OutputFormat == 1) {
        Insert(0, "<html>");
        Add("</html>");
    } else if (OutputFormat == 2) {
        Insert(0, "<?xml version=\"1.0\" " + DeclarationText() + "?>");
    }
    // Whole lines, names and extra fields too. HTML declares no encoding: only ASCII reads the
    // same in every browser and in TXMLModul.
    const char* encoding = OutputFormat == 1 ? "US-ASCII" : "windows-1252";
    for (int k = 0; markup && AnsiText && k < Count(); ++k) {
        Lines[k].Text = Utf8ToMarkup(Lines[k].Text, encoding);
    }
}

std::string TCSVFile::Text() const {
    std::string text;
    for (const TCSVLine& line : Lines) {
        text += line.Text + "\r\n";
    }
    return text;
}

} // namespace orvendal
