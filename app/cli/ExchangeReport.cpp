#include "app/cli/ExchangeReport.h"

#include "exchange/Schema.h"

#include <chrono>
#include <ctime>
#include <iostream>

namespace orvendal::cli {
namespace {

using Clock = std::chrono::system_clock;

const char* KindName(TMsgKind kind) {
    switch (kind) {
    case TMsgKind::Information:
        return "information";
    case TMsgKind::Warning:
        return "warning";
    case TMsgKind::Error:
        return "error";
    case TMsgKind::Confirmation:
        break;
    }
    return "confirmation";
}

std::string UtcText(Clock::time_point time) {
    const std::time_t t = Clock::to_time_t(time);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string OutcomeText(const std::string& outcome) {
    return outcome == "ok"        ? "erfolgreich"
           : outcome == "skipped" ? "übersprungen"
                                  : "fehlgeschlagen";
}

} // namespace

TReport RunExchange(TSession& session, int row) {
    TForm1& form = session.Form;
    const size_t firstMessage = session.View.Messages.size();
    const auto start = Clock::now();
    session.View.SetItemIndex("RadioGroup1", row - 1);
    form.BitBtn1Click();
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();

    const TExchangeResult& r = form.LastExchange;
    TReport messages = TReport::array();
    bool problems = false;
    for (size_t i = firstMessage; i < session.View.Messages.size(); ++i) {
        const TConsoleView::TMessage& m = session.View.Messages[i];
        problems = problems || m.Kind == TMsgKind::Warning || m.Kind == TMsgKind::Error;
        messages.push_back({{"kind", KindName(m.Kind)}, {"text", m.Text}});
        if (m.Kind == TMsgKind::Confirmation) {
            messages.back()["answer"] = m.Answer;
        }
    }
    const char* outcome = form.Succeeded && !problems ? "ok"
                          : !r.Docked && !r.Completed ? "skipped"
                                                      : "failed";
    return {{"number", form.DeviceField(row, 3)},
            {"name", form.DeviceField(row, 2)},
            {"start", UtcText(start)},
            {"duration_ms", ms},
            {"outcome", outcome},
            {"transport", r.Transport},
            {"rows_exported", r.RowsExported},
            {"tables_written", r.TablesWritten},
            {"rows_merged", r.RowsMerged},
            {"rows_refused", r.RowsRefused},
            {"photos_sent", r.PhotosSent},
            {"messages", messages}};
}

void PrintSummary(const TReport& device) {
    std::string merged;
    for (const auto& [table, rows] : device["rows_merged"].items()) {
        merged += (merged.empty() ? "" : ", ") + table + " " + std::to_string(rows.get<int>());
    }
    const auto field = [&](const char* key) { return device[key].dump(); };
    std::cerr << "Zusammenfassung für das Gerät " << device["name"].get<std::string>() << " ("
              << device["number"].get<std::string>() << "): " << OutcomeText(device["outcome"])
              << "\n"
              << "  Übertragungsweg:              " << device["transport"].get<std::string>()
              << "\n"
              << "  Zeilen aus dem Gerät:         " << field("rows_exported") << "\n"
              << "  Tabellen auf das Gerät:       " << field("tables_written") << " von "
              << schema::ImportTables().size() << "\n"
              << "  Zeilen in mobil.mdb:          " << (merged.empty() ? "0" : merged) << "\n"
              << "  Zeilen abgewiesen:            " << field("rows_refused") << "\n"
              << "  Fotos gesendet:               " << field("photos_sent") << "\n"
              << "  Dauer:                        " << field("duration_ms") << " ms\n";
}

} // namespace orvendal::cli
