#include "photo/VelBlob.h"

#include "exchange/Schema.h"
#include "photo/Jpeg.h"
#include "tables/UserFkt.h"
#include "transport/VelHTTP.h"
#include "transport/VelMail.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <sys/stat.h>

namespace orvendal {
namespace fs = std::filesystem;
namespace {

// The file's last-write time in local time, "dd.mm.yyyy hh:nn"; empty when it cannot be read.
std::string LocalTimeText(const std::string& file) {
    struct stat status {};
    if (stat(file.c_str(), &status) != 0) {
        return {};
    }
    const std::time_t t = status.st_mtime;
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%d.%m.%Y %H:%M", &local);
    return text;
}

// The stamp: grey-backed 16-point text in the kind's colour at the mode's corner.
void DrawStamp(QImage& image, const std::string& text, TColor color, int mode) {
    QPainter painter(&image);
    QFont font = painter.font();
    font.setPointSize(16);
    painter.setFont(font);
    const QString label = QString::fromStdString(text);
    const QFontMetrics metrics(font, &image);
    const int tw = metrics.horizontalAdvance(label);
    const int th = metrics.height();
    const int w = image.width();
    const int h = image.height();
    QPoint at(0, 0);
    switch (mode) {
    case 2:
        at = {w - 1 - tw, 0};
        break;
    case 3:
        at = {0, h - 1 - th};
        break;
    case 4:
        at = {w - 1 - tw, h - 1 - th};
        break;
    default:
        break;
    }
    const QRect box(at, QSize(tw, th));
    painter.fillRect(box, QColor(128, 128, 128));
    painter.setPen(QColor(color.R, color.G, color.B));
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, label);
}

} // namespace

TVelBlob::~TVelBlob() = default;

TColor TVelBlob::KindColor(const std::string& feldId) {
    switch (StrToIntDef(feldId, 50)) {
    case 51:
        return {0, 128, 0};
    case 52:
        return {255, 0, 0};
    case 53:
        return {0, 0, 255};
    case 54:
        return {255, 0, 128};
    case 55:
        return {128, 64, 0};
    case 56:
        return {0, 136, 136};
    case 57:
        return {255, 64, 64};
    case 58:
        return {136, 0, 255};
    case 69:
        return {160, 160, 164};
    default:
        return {0, 0, 0};
    }
}

void TVelBlob::FitInto(int edge, int& width, int& height) {
    const float scale = float(edge) / float(width > height ? width : height);
    // The product is taken at double precision: the float scale's tiny excess decides halves.
    if (scale < 1.0f) {
        width = int(std::nearbyint(double(width) * scale));
        height = int(std::nearbyint(double(height) * scale));
    }
}

std::string TVelBlob::RowText(int row, int col) const {
    return FieldText(Rows, row, col);
}

void TVelBlob::PhotoError(const std::string& verb, const std::string& text, TMsgKind kind) {
    View->MessageBox(kind, "Fehlermeldung beim " + verb + " der Foto-Daten: " + text);
}

std::string TVelBlob::TimeStampMode() {
    TRecordSet rs;
    if (Server->Select("Id,SysValue", "SysData", "Id=10", "", rs) && RowCount(rs) > 0) {
        return Trim(FieldText(rs, 1, 2));
    }
    return {};
}

void TVelBlob::ReadPhoto() {
    const std::string archive = WorkDir + "Fotos";
    std::string compressedName;
    const std::string mode = TimeStampMode();
    const TColor color = KindColor(RowText(0, 3));
    const std::string stamp = mode != "0" ? LocalTimeText(FileName) : "";
    try {
        TJpegImage photo;
        if (!photo.Load(FileName)) {
            View->MessageBox(TMsgKind::Error,
                             "Es können nur Fotos im JPEG-Format verarbeitet werden!");
            return;
        }
        if (WorkDir.empty() || !PhotoDir.starts_with(WorkDir)) {
            fs::create_directory(archive);
            std::string name = fs::path(FileName).filename().string();
            while (fs::exists(archive + "/" + name)) {
                name = "_" + name;
            }
            FileName = archive + "/" + name;
            photo.Data.SaveToFile(FileName);
            compressedName = archive + "/C_" + name;
        }
        int width = photo.Width;
        int height = photo.Height;
        FitInto(MaxEdge, width, height);
        QImage image = photo.Decode(width, height);
        if (mode != "0" || width != photo.Width || height != photo.Height) {
            image = image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            if (mode != "0") {
                DrawStamp(image, stamp, color, StrToIntDef(mode, 1));
            }
        }
        TMemoryStream stored;
        EncodeJpeg(image, 70, stored);
        const std::string where = "Id=" + std::to_string(FieldInt(Rows, 0, 1));
        if (Server->WriteBlob("MBlob", "FeldBlob", where, stored)) {
            Server->Update("MBlob", "Status=" + Quote("1"), where);
        } else {
            PhotoError("Speichern", Server->LastError, TMsgKind::Error);
        }
        if (!compressedName.empty()) {
            stored.SaveToFile(compressedName);
        }
    } catch (const std::exception& e) {
        View->MessageBox(TMsgKind::Error, e.what());
    }
}

void TVelBlob::DeletePhoto() {
    if (!View->MessageBox(TMsgKind::Confirmation,
                          "Wollen Sie dieses Foto wirklich aus der Datenbank löschen? (Sie können "
                          "anschließend ein anderes Foto zuordnen.)")) {
        return;
    }
    if (!Server->Update("MBlob", "FeldBlob=null,Status=" + Quote("0"),
                        "Id=" + std::to_string(FieldInt(Rows, 0, 1)))) {
        PhotoError("Löschen", Server->LastError, TMsgKind::Error);
    }
}

void TVelBlob::ResendPhoto() {
    if (!View->MessageBox(TMsgKind::Confirmation, "Soll dieses Foto nochmals übertragen werden?")) {
        return;
    }
    if (!Server->Update("MBlob", "Status=" + Quote("2"),
                        "Id=" + std::to_string(FieldInt(Rows, 0, 1)))) {
        PhotoError("Speichern", Server->LastError, TMsgKind::Error);
    }
}

// One row into a fresh photo export database; each step only after the one before it.
bool TVelBlob::ExportRow(int row, TSQLADOServer& exportDb, TMemoryStream& blob) {
    std::error_code ignored;
    fs::remove(exportDb.DataSource, ignored);
    const std::string where = "Id=" + std::to_string(FieldInt(Rows, row, 1));
    const std::string values =
        std::to_string(FieldInt(Rows, row, 1)) + "," + std::to_string(FieldInt(Rows, row, 2)) +
        "," + std::to_string(FieldInt(Rows, row, 3)) + "," + QuoteSQLString(RowText(row, 4), 2) +
        "," + QuoteSQLString(RowText(row, 5), 2) + "," + std::to_string(FieldInt(Rows, row, 6)) +
        "," + QuoteSQLString(RowText(row, 7), 2);
    const bool ok = exportDb.CreateDatabase() && exportDb.Connect() &&
                    exportDb.ExecSQL(schema::CreateMBlob) &&
                    exportDb.Insert("MBlob", schema::MBlobColumns, values) &&
                    Server->ReadBlob("MBlob", "FeldBlob", where, blob) &&
                    exportDb.WriteBlob("MBlob", "FeldBlob", where, blob);
    blob.Clear();
    return ok;
}

void TVelBlob::Sent(bool ok, int row, const std::string& errorText) {
    if (ok) {
        Server->Update("MBlob", "Status=" + Quote("3"),
                       "Id=" + std::to_string(FieldInt(Rows, row, 1)));
    } else {
        PhotoError("Versenden", errorText, TMsgKind::Warning);
    }
}

bool TVelBlob::SendPhotos() {
    if (!Server->Select(schema::MBlobColumns, "MBlob",
                        "Status IN (" + Quote("1") + "," + Quote("2") + ")", "Id", Rows) ||
        RowCount(Rows) < 1) {
        return true;
    }
    TSQLADOServer exportDb;
    exportDb.SetServerType(Jet);
    exportDb.DataSource = WorkDir + "MBlob" + "export.mdb";
    TMemoryStream blob;
    const int n = RowCount(Rows);
    bool ok = true;
    for (int i = 1; i <= n; ++i) {
        View->SetText(StatusLabel, "Foto/Dokument " + std::to_string(i) + " von " +
                                       std::to_string(n) + " wird übertragen...");
        View->ProcessMessages();
        Server->Failed = false;
        exportDb.Failed = false;
        ok = ExportRow(i, exportDb, blob);
        if (!ok) {
            if (Server->Failed) {
                PhotoError("Versenden", Server->LastError, TMsgKind::Error);
            }
            if (exportDb.Failed) {
                PhotoError("Versenden", exportDb.LastError, TMsgKind::Error);
            }
            exportDb.Disconnect();
            continue;
        }
        exportDb.Disconnect();
        const std::string tag = std::to_string(i);
        if (Mail != nullptr) {
            Sent(Mail->SendData(true, "", tag), i, Mail->ErrorText);
        }
        if (Http != nullptr) {
            Sent(Http->SendFile(true, exportDb.DataSource, tag), i, Http->ErrorText);
        }
    }
    return ok;
}

} // namespace orvendal
