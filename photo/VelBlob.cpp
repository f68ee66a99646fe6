#include "photo/VelBlob.h"

#include "exchange/Schema.h"
#include "photo/Jpeg.h"
#include "tables/UserFkt.h"
#include "transport/VelHTTP.h"
#include "transport/VelMail.h"
#include "view/Progress.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <vector>

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

// Camera cards ignore the case of names: a missing file is looked for among names that differ
// only in case.
std::string ExistingCase(const std::string& file) {
    std::error_code error;
    if (fs::exists(file, error)) {
        return file;
    }
    const size_t slash = file.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : file.substr(0, slash + 1);
    const std::string wanted = LowerCase(file.substr(folder.size()));
    auto names = FileNames(folder, [&](const std::string& name) { return name == wanted; });
    return names.empty() ? file : folder + names.front();
}

// A "dd.mm.yyyy hh:nn" text as minutes on a uniform scale; none when it is no such text.
std::optional<long long> Minutes(const std::string& text) {
    std::tm t{};
    char rest = 0;
    if (std::sscanf(text.c_str(), "%2d.%2d.%4d %2d:%2d%c", &t.tm_mday, &t.tm_mon, &t.tm_year,
                    &t.tm_hour, &t.tm_min, &rest) != 5) {
        return std::nullopt;
    }
    t.tm_mon -= 1;
    t.tm_year -= 1900;
    return static_cast<long long>(timegm(&t)) / 60;
}

const TColor Green{0, 128, 0};
const TColor Red{255, 0, 0};
const std::string TempPhoto = "~tmp.jpg";

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

std::string TVelBlob::RowWhere(int row) const {
    return "Id=" + std::to_string(FieldInt(Rows, row, 1));
}

void TVelBlob::PhotoError(const std::string& verb, const std::string& text, TMsgKind kind) {
    View->MessageBox(kind, "Fehlermeldung beim " + verb + " der Foto-Daten: " + text);
}

std::string TVelBlob::SysValue(int id, bool& found) {
    TRecordSet rs;
    found = Server->Select("Id,SysValue", "SysData", "Id=" + std::to_string(id), "", rs) &&
            RowCount(rs) > 0;
    return found ? FieldText(rs, 1, 2) : std::string();
}

std::string TVelBlob::TimeStampMode() {
    bool found = false;
    return Trim(SysValue(10, found));
}

// Files written for a photo that go again unless the photo is stored, newest first.
class TLeftovers {
public:
    ~TLeftovers() {
        std::error_code ignored;
        for (auto file = files_.rbegin(); file != files_.rend(); ++file) {
            fs::remove(*file, ignored);
        }
    }
    void Add(const std::string& file) { files_.push_back(file); }
    void Keep() { files_.clear(); }

private:
    std::vector<std::string> files_;
};

void TVelBlob::ReadPhoto() {
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
        TMemoryStream stored;
        if (!Shrink(photo, mode, stamp, color, stored)) {
            View->MessageBox(TMsgKind::Warning, "Das Foto ist unvollständig: " + FileName);
            return;
        }
        Store(photo, stored);
    } catch (const std::exception& e) {
        View->MessageBox(TMsgKind::Error, e.what());
    }
}

bool TVelBlob::Shrink(const TJpegImage& photo, const std::string& mode, const std::string& stamp,
                      TColor color, TMemoryStream& stored) const {
    int width = photo.Width;
    int height = photo.Height;
    FitInto(MaxEdge, width, height);
    bool complete = true;
    QImage image = photo.Decode(width, height, complete);
    if (!complete) {
        return false;
    }
    if (mode != "0" || width != photo.Width || height != photo.Height) {
        image = image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (mode != "0") {
            DrawStamp(image, stamp, color, StrToIntDef(mode, 1));
        }
    }
    EncodeJpeg(image, 70, stored);
    return true;
}

// The archive copy and the compressed copy are written first and removed again when the row
// cannot take the photo, so that no attempt leaves files behind.
void TVelBlob::Store(const TJpegImage& photo, const TMemoryStream& stored) {
    TLeftovers leftovers;
    std::string archived = FileName;
    if (WorkDir.empty() || !PhotoDir.starts_with(WorkDir)) {
        const std::string archive = WorkDir + "Fotos";
        std::error_code error;
        if (fs::create_directory(archive, error)) {
            leftovers.Add(archive);
        } else if (error) {
            throw std::runtime_error("Ordner " + archive +
                                     " kann nicht angelegt werden: " + error.message());
        }
        std::string name = fs::path(FileName).filename().string();
        while (fs::exists(archive + "/" + name)) {
            name = "_" + name;
        }
        archived = archive + "/" + name;
        leftovers.Add(archived);
        photo.Data.SaveToFile(archived);
        leftovers.Add(archive + "/C_" + name);
        stored.SaveToFile(archive + "/C_" + name);
    }
    const std::string where = RowWhere(0);
    if (!Server->WriteBlob("MBlob", "FeldBlob", where, stored)) {
        PhotoError("Speichern", Server->LastError, TMsgKind::Error);
        return;
    }
    Server->Update("MBlob", "Status=" + Quote("1"), where);
    leftovers.Keep();
    FileName = archived;
}

void TVelBlob::DeletePhoto() {
    if (!View->MessageBox(TMsgKind::Confirmation,
                          "Wollen Sie dieses Foto wirklich aus der Datenbank löschen? (Sie können "
                          "anschließend ein anderes Foto zuordnen.)")) {
        return;
    }
    if (!Server->Update("MBlob", "FeldBlob=null,Status=" + Quote("0"), RowWhere(0))) {
        PhotoError("Löschen", Server->LastError, TMsgKind::Error);
    }
}

void TVelBlob::ResendPhoto() {
    if (!View->MessageBox(TMsgKind::Confirmation, "Soll dieses Foto nochmals übertragen werden?")) {
        return;
    }
    if (!Server->Update("MBlob", "Status=" + Quote("2"), RowWhere(0))) {
        PhotoError("Speichern", Server->LastError, TMsgKind::Error);
    }
}

// One row into a fresh photo export database; each step only after the one before it.
bool TVelBlob::ExportRow(int row, TSQLADOServer& exportDb, TMemoryStream& blob) {
    std::error_code ignored;
    fs::remove(exportDb.DataSource, ignored);
    const std::string where = RowWhere(row);
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
        Server->Update("MBlob", "Status=" + Quote("3"), RowWhere(row));
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
    exportDb.Scratch = true; // made new for every photo and sent at once
    TMemoryStream blob;
    const int n = RowCount(Rows);
    bool ok = true;
    TStepProgress progress(*View, n);
    for (int i = 1; i <= n; ++i, progress.Step()) {
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

std::string TVelBlob::ControlById(int id) {
    switch (id) {
    case 103:
    case 104:
    case 105:
    case 106:
    case 107:
        return "Label" + std::to_string(id);
    case 321:
    case 322:
        return "Button" + std::to_string(id);
    default:
        return "APanel";
    }
}

bool TVelBlob::SelectRows() {
    return Server->Select(schema::MBlobColumns + "," +
                              DateTimeExpr("Created", Server->GetServerType()),
                          "MBlob", "", "Id", Rows);
}

void TVelBlob::Open() {
    const bool selected = SelectRows();
    ShowControls(selected); // a failed opening before must not hide them for good
    if (selected) {
        Show();
        return;
    }
    PhotoError("Öffnen", Server->LastError, TMsgKind::Error);
}

void TVelBlob::ShowControls(bool visible) {
    for (int id : {103, 104, 105, 106, 107, 321, 322, 1001}) {
        View->SetVisible(ControlById(id), visible);
    }
    for (const char* button : {"PrevBtn", "NextBtn", "YesBtn", "NoBtn", "RetryBtn"}) {
        View->SetVisible(button, visible);
    }
}

void TVelBlob::Show() {
    if (View == nullptr) {
        return;
    }
    View->SetText(ControlById(1001), "");
    for (int id : {103, 105, 106, 107}) {
        View->SetText(ControlById(id), "");
    }
    View->SetVisible(ControlById(104), false);
    View->SetFontColor(ControlById(105), Green);
    View->SetFontColor(ControlById(106), Green);
    View->SetEnabled("YesBtn", !FileName.empty());
    bool hasPhoto = false;
    if (IsBOF(Rows) || IsEOF(Rows)) {
        View->SetPicture("Preview", "");
        View->SetVisible(ControlById(321), false);
        View->SetVisible(ControlById(322), false);
    } else {
        ShowJob();
        View->SetVisible(ControlById(104), Mode == 90);
        if (Mode == 90) {
            View->SetText(ControlById(105), RowText(0, 8));
            ShowKind();
        }
        TMemoryStream photo;
        if (!Server->ReadBlob("MBlob", "FeldBlob", RowWhere(0), photo)) {
            photo.Clear();
        }
        hasPhoto = photo.Size() > 0;
        if (hasPhoto) {
            FileName = WorkDir + TempPhoto;
            photo.SaveToFile(FileName);
        } else if (FileName.empty()) {
            FileName = LocateCameraFile();
        }
        ShowPicture(hasPhoto);
        if (FileName == WorkDir + TempPhoto) {
            std::remove(FileName.c_str());
        }
        View->SetVisible(ControlById(321), hasPhoto && Mode == 90);
        View->SetVisible(ControlById(322), !hasPhoto && Mode == 90);
    }
    ShowButtons(hasPhoto);
}

void TVelBlob::ShowJob() {
    TRecordSet rs;
    if (Server->Select("AuftragId,Project,MobilApp,AuftragBez,Status,Termin,Route", "MAuftrag",
                       "(AuftragId=" + std::to_string(FieldInt(Rows, 0, 2)) + ")", "", rs)) {
        View->SetText(ControlById(103), RowCount(rs) > 0
                                            ? FieldText(rs, 1, 4)
                                            : "(Der Auftrag wurde bereits abgeschlossen.)");
    }
}

void TVelBlob::ShowKind() {
    TRecordSet rs;
    if (Server->Select("Id,Class,MValue,Bezeichnung,Reihe", "MValues",
                       "(Class=1006) AND (MValue=" + Quote(std::to_string(FieldInt(Rows, 0, 3))) +
                           ")",
                       "", rs)) {
        View->SetText(ControlById(107), RowCount(rs) > 0 ? FieldText(rs, 1, 4) : "");
    }
    View->SetFontColor(ControlById(107), KindColor(RowText(0, 3)));
}

std::string TVelBlob::LocateCameraFile() {
    const std::string value = RowText(0, 4);
    bool found = false;
    PhotoDir = SysValue(8, found);
    if (!found) {
        PhotoDir = "E:\\DCIM\\";
    }
    std::string name;
    const size_t extension = value.find(".jpg");
    if (extension != std::string::npos) {
        const size_t slash = value.rfind('\\', extension);
        const size_t start = slash == std::string::npos ? 0 : slash + 1;
        name = value.substr(start, extension - start);
    } else {
        name = Trim(SysValue(9, found));
        if (!name.empty() && name.find_first_not_of('*') == std::string::npos) {
            auto files = FileNames(PhotoDir, [](const std::string& file) {
                return file.size() > 4 && file.ends_with(".jpg");
            });
            if (!files.empty()) {
                name = files.front().substr(0, name.size());
            }
        }
        if (name.size() < 8) {
            name += PadLeft(value, 8 - static_cast<int>(name.size()), '0');
        }
    }
    return ExistingCase(PhotoDir + name + ".jpg");
}

void TVelBlob::ShowPicture(bool hasPhoto) {
    const std::string panel = ControlById(1001);
    QImageReader reader(QString::fromStdString(FileName));
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (reader.transformation() & QImageIOHandler::TransformationRotate90) {
        size.transpose(); // shown upright, as it is stored
    }
    if (reader.canRead() && size.isValid()) {
        int width = size.width();
        int height = size.height();
        FitInto(width > height ? PreviewWidth : PreviewHeight, width, height);
        View->SetSize(panel, int(double(width) * Zoom), int(double(height) * Zoom));
        if (View->SetPicture("Preview", FileName)) {
            View->SetHint("Preview", "Bildgröße: " + std::to_string(size.width()) + " x " +
                                         std::to_string(size.height()));
            if (!hasPhoto && Mode == 90) {
                ShowCameraTime();
            }
            View->SetText(panel, "");
            View->SetEnabled("YesBtn", true);
            return;
        }
    }
    View->SetEnabled("YesBtn", false);
    View->SetHint("Preview", "");
    View->SetPicture("Preview", "");
    View->SetSize(panel, 390, 290);
    View->SetText(panel, "Fehler Dateianzeige: " + FileName + "!");
}

// The camera file's time beside the device's; both red when they lie more than an hour apart.
void TVelBlob::ShowCameraTime() {
    const std::string cameraTime = LocalTimeText(FileName);
    View->SetText(ControlById(106), cameraTime);
    const auto device = Minutes(RowText(0, 8));
    const auto camera = Minutes(cameraTime);
    if (device && camera && std::llabs(*device - *camera) > 60) {
        View->SetFontColor(ControlById(105), Red);
        View->SetFontColor(ControlById(106), Red);
    }
}

void TVelBlob::ShowButtons(bool hasPhoto) {
    View->SetEnabled("NextBtn", !IsEOF(Rows));
    View->SetEnabled("PrevBtn", !IsBOF(Rows));
    const bool readIn = !hasPhoto && Mode == 90;
    const bool resend = RowText(0, 7) == "3" && Mode == 90;
    View->SetVisible("YesBtn", readIn);
    View->SetVisible("RetryBtn", resend);
    View->SetVisible("NoBtn", !readIn && !resend && Mode == 90);
}

void TVelBlob::ButtonClick(int tag) {
    if (tag != 306) {
        FileName.clear();
    }
    switch (tag) {
    case 304:
        MovePrior(Rows);
        break;
    case 305:
        MoveNext(Rows);
        break;
    case 306:
        ReadPhoto();
        FileName.clear();
        MoveNext(Rows);
        break;
    case 307:
        DeletePhoto();
        break;
    case 309: {
        const int bookmark = CurrentRow(Rows);
        ResendPhoto();
        SelectRows();
        MoveToRow(Rows, bookmark);
        break;
    }
    case 321:
        while (!IsEOF(Rows)) {
            MoveNext(Rows);
            if (Server->CountRows("MBlob", RowWhere(0) + " and FeldBlob is null") >= 1) {
                break;
            }
        }
        break;
    case 322:
        View->OpenPictureDialog(FileName);
        break;
    default:
        break;
    }
    Show();
}

void TVelBlob::PreviewClick() {
    Zoom = Zoom > 3.0f ? 1.0f : Zoom * 1.2f;
    Show();
}

} // namespace orvendal
