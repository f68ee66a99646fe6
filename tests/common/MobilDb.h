#pragma once
// A fresh "mobil.mdb" with its four tables, as the exchange creates it, opened on db.

#include "db/SQLADO.h"
#include "exchange/Schema.h"

#include <gtest/gtest.h>

#include <string>

namespace orvendal::testing {

inline void CreateMobil(TSQLADOServer& db, const std::string& fileName) {
    db.SetServerType(Jet);
    db.DataSource = fileName;
    ASSERT_TRUE(db.CreateDatabase() && db.Connect()) << db.LastError;
    for (const std::string* statement : schema::MobilStatements()) {
        ASSERT_TRUE(db.ExecSQL(*statement)) << db.LastError;
    }
}

} // namespace orvendal::testing
