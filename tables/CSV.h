#pragma once
// TCSVFile: a table held as text lines, each line carrying a TCSVRecord with its fields. Filled
// from a query or a separated-values file, and rewritten in place as separated values, an HTML
// table or an XML document, after which Text() is the finished file.

#include "protect/Streams.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvendal {

class TSQLADOServer;

class TCSVRecord {
public:
    TCSVRecord(std::string separator, const std::vector<std::string>* names)
        : Separator(std::move(separator)), Names(names) {}

    std::vector<std::string> Fields;
    std::string Separator;                 // copy of the file's at creation
    const std::vector<std::string>* Names; // the file's FieldNames, not owned
    std::vector<std::string> TypeCodes;    // one code per field when types were collected

    // Splits the trimmed text at each separator character into trimmed fields; no quoting.
    void ParseLine(const std::string& text);
};

struct TCSVLine {
    std::string Text;
    std::unique_ptr<TCSVRecord> Record; // owned; empty when the line has none
};

class TCSVFile {
public:
    std::string Separator = ";";
    std::string TableTag = "table";
    std::string TableAttributes;
    std::string RecordTag = "record";
    std::string FieldTypes; // one type letter per column, from LoadFromSQL
    std::string Declaration = "encoding=\"ISO-8859-1\"";
    std::vector<std::string> FieldNames;
    bool NumberRecords = false;
    bool TypedTags = false;
    bool CollectTypes = false;
    bool HeaderLine = false;
    // True: XML lines are written as Windows-1252 bytes, HTML lines as ASCII (characters beyond
    // them as character references); false: as UTF-8. The XML declaration names the encoding.
    // Separated values are always written as the program holds them (UTF-8).
    bool AnsiText = true;
    uint8_t OutputFormat = 0; // 0 separated values, 1 HTML, 2 XML

    std::vector<TCSVLine> Lines;

    int Count() const { return static_cast<int>(Lines.size()); }
    void Add(std::string text) { Lines.push_back({std::move(text), nullptr}); }
    void Insert(int index, std::string text);
    void Clear() { Lines.clear(); }
    void Delete(int index);

    // Replace every line by those of the file (CR LF, LF or CR ends a line), then ParseAll.
    // LoadFromFile throws std::runtime_error when the file cannot be read.
    void LoadFromFile(const std::string& fileName);
    void LoadFromStream(TStream& stream);
    void SetText(const std::string& text);
    // Drops blank lines and parses every other line into a new record.
    void ParseAll();
    // Runs the statement and adds one line and record per row (or one line with the error or the
    // affected-row count); false when the server is missing or closed, or the statement failed.
    bool LoadFromSQL(TSQLADOServer* server, const std::string& statement, bool clearFirst);
    // Rewrites the lines with records into OutputFormat and drops lines without one.
    void FormatTable();
    // Attaches a new empty record with the file's separator and names to the line.
    void NewRecord(int index);
    // Every line followed by CR LF.
    std::string Text() const;

private:
    std::string FormatRecord(int k, const TCSVRecord& record) const;
    std::string SeparatedValue(const std::string& value) const;
    std::string DeclarationText() const;
    std::string HeaderText(const TCSVRecord& last) const;
};

} // namespace orvendal
