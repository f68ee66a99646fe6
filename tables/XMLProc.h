#pragma once
// TXMLModul: one XML document read as a table. The document element is the table, its child
// elements are the rows and theirs the fields; rows and fields are numbered from 1.

#include "protect/Streams.h"

#include <pugixml.hpp>

#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace orvendal {

// The encoding attribute of an XML declaration; group 1 is the encoding's name.
const std::regex& EncodingAttribute();

class TXMLModul {
public:
    // Starts an empty table when no document is active; true when one is active afterwards.
    bool Open();
    // Documents are decoded by their byte order mark or declared encoding (UTF-8 when they
    // declare none; ISO-8859-1 is read as Windows-1252). Text invalid in that encoding fails
    // with the byte position in the reason.
    // True when the file was loaded; otherwise false with the reason in LastErrorText().
    bool LoadFromFile(const std::string& fileName);
    // Re-reads the document from the stream's position; throws std::runtime_error when the
    // bytes are no XML document.
    bool LoadFromStream(TStream& stream);

    int RowCount() const;
    // Number of fields of the row, -1 when there is no such row.
    int FieldCount(int row) const;
    // The field's text; empty out of range.
    std::string GetValue(int row, int field) const;
    // field >= 1: the field element's name; field <= 0: the row element's name; empty out of
    // range.
    std::string GetName(int row, int field) const;
    // Creates missing rows (named like row 1, else "R") and fields (named like row 1's field
    // at the same place, else "C" and the 0-based place), then sets the text. Needs an active
    // document.
    void SetValue(int row, int field, const std::string& value);

    const std::string& LastErrorText() const { return lastError_; }
    bool Active() const { return active_; }

private:
    bool LoadBytes(std::string_view bytes, const std::string& source);
    pugi::xml_node Table() const { return document_.document_element(); }
    pugi::xml_node Row(int row) const;
    // The row elements in order, so that reading row after row costs no walk from the first;
    // made on first use and forgotten whenever the document changes.
    const std::vector<pugi::xml_node>& Rows() const;
    pugi::xml_node Field(int row, int field) const;

    pugi::xml_document document_;
    mutable std::vector<pugi::xml_node> rows_;
    bool active_ = false;
    std::string lastError_;
};

} // namespace orvendal
