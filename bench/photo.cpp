// Reading a 4000 × 3000 camera photo into a photo row (TVelBlob::ReadPhoto: archive copy, shrunk
// to 640 pixels, time stamp, quality 70, stored in "mobil.mdb") beside vipsthumbnail and
// ImageMagick's convert making a 640-pixel, quality 70 file of the same picture. One run; each
// measurement taken five times, medians printed with their ratios to vipsthumbnail: wall time,
// and the peak resident memory of each as its own process.
//
// The program also runs as its own helpers: "--peak PROGRAM ARGS..." starts PROGRAM and prints
// its peak memory and wall time; "--read-photo FOLDER" does one ReadPhoto in a fresh process.
// A child's peak includes what it shared with its parent up to its exec, so every measured
// process is started from a freshly started helper, never from this large process.

#include "bench/QuietView.h"
#include "exchange/Schema.h"
#include "photo/Jpeg.h"
#include "photo/VelBlob.h"

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace orvendal {
namespace {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

constexpr int Width = 4000, Height = 3000, Repeats = 5;

double Seconds(TClock::time_point start) {
    return std::chrono::duration<double>(TClock::now() - start).count();
}

[[noreturn]] void Fail(const std::string& text) {
    std::fprintf(stderr, "bench_photo: %s\n", text.c_str());
    std::exit(1);
}

// A value of /proc/self/status in kB ("VmRSS", "VmHWM").
long StatusKB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with(key) && line[std::strlen(key)] == ':')
            return std::atol(line.c_str() + std::strlen(key) + 1);
    return -1;
}

// A camera picture: a smooth gradient with sensor-like noise, so it packs as a photo does.
void MakeCameraJpeg(const std::string& path) {
    QImage image(Width, Height, QImage::Format_RGB888);
    uint32_t x = 2463534242u;
    for (int row = 0; row < Height; ++row) {
        uchar* p = image.scanLine(row);
        for (int col = 0; col < Width; ++col) {
            const int base[3] = {col * 255 / Width, row * 255 / Height, 40 + (col + row) % 120};
            for (int c = 0; c < 3; ++c) {
                x ^= x << 13;
                x ^= x >> 17;
                x ^= x << 5;
                *p++ = static_cast<uchar>(std::clamp(base[c] + int(x % 17) - 8, 0, 255));
            }
        }
    }
    TMemoryStream out;
    EncodeJpeg(image, 90, out);
    out.SaveToFile(path);
}

// The layout one ReadPhoto works in: root/camera/ with the picture, root/work/ with
// "mobil.mdb" holding one photo row. The camera folder lies outside the working folder, so the
// archive copy is made, as with a camera card.
struct TPlace {
    std::string Root; // ends with "/"
    std::string Camera() const { return Root + "camera/"; }
    std::string Work() const { return Root + "work/"; }
    std::string Picture() const { return Camera() + "IMG_0815.jpg"; }
};

// A fresh working folder; mode is SysData 10, or empty for no such row (the default stamp).
void Prepare(const TPlace& place, const std::string& mode) {
    fs::remove_all(place.Work());
    fs::create_directories(place.Work());
    TSQLADOServer db;
    db.SetServerType(Jet);
    db.DataSource = place.Work() + "mobil.mdb";
    bool ok = db.CreateDatabase() && db.Connect();
    for (const std::string* statement : schema::MobilStatements())
        ok = ok && db.ExecSQL(*statement);
    ok = ok && db.ExecSQL("INSERT INTO MBlob(Id,AuftragId,FeldId,FeldValue,Created,Creator,Status)"
                          " VALUES(1,1000,52,'IMG_0815.jpg','05.12.2026 10:00',1,'0')");
    if (!mode.empty())
        ok = ok && db.ExecSQL("INSERT INTO SysData(Id,SysValue) VALUES(10,'" + mode + "')");
    if (!ok)
        Fail("mobil.mdb: " + db.LastError);
}

// Everything ReadPhoto needs, opened on a prepared place.
struct TReader {
    TSQLADOServer Db;
    bench::TQuietView View;
    TVelBlob Blob;

    explicit TReader(const TPlace& place) {
        Db.SetServerType(Jet);
        Db.DataSource = place.Work() + "mobil.mdb";
        if (!Db.Connect() || !Db.Select(schema::MBlobColumns, "MBlob", "Id=1", "", Blob.Rows))
            Fail("mobil.mdb: " + Db.LastError);
        MoveToRow(Blob.Rows, 1);
        Blob.View = &View;
        Blob.Server = &Db;
        Blob.WorkDir = place.Work();
        Blob.PhotoDir = place.Camera();
        Blob.FileName = place.Picture();
    }
    // The stored photo's size in bytes; fails the run when ReadPhoto reported anything.
    uint64_t Check() {
        if (!View.Boxes.empty())
            Fail("ReadPhoto: " + View.Boxes.front());
        TMemoryStream stored;
        if (!Db.ReadBlob("MBlob", "FeldBlob", "Id=1", stored) || stored.Size() == 0)
            Fail("ReadPhoto stored nothing");
        return stored.Size();
    }
};

// --read-photo FOLDER: prints "read <kB resident before> <kB peak after> <seconds>".
int ReadPhotoChild(const std::string& root, int argc, char** argv) {
    QGuiApplication app(argc, argv);
    TReader reader(TPlace{root});
    const long before = StatusKB("VmRSS");
    const auto start = TClock::now();
    reader.Blob.ReadPhoto();
    const double took = Seconds(start);
    const long peak = StatusKB("VmHWM");
    reader.Check();
    std::printf("read %ld %ld %.6f\n", before, peak, took);
    return 0;
}

// --peak PROGRAM ARGS...: prints "peak <kB> <seconds> <exit code>" for PROGRAM, and its own
// peak as "floor <kB>": a child's figure cannot be told below that.
int PeakChild(char** args) {
    std::printf("floor %ld\n", StatusKB("VmHWM"));
    std::fflush(stdout);
    const auto start = TClock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execv(args[0], args);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return 1;
    const double took = Seconds(start);
    std::printf("peak %ld %.6f %d\n", usage.ru_maxrss, took,
                WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return 0;
}

struct TSample {
    double Seconds = 0;
    long PeakKB = 0, FloorKB = 0, BeforeKB = 0, AfterKB = 0; // from the helpers
};

// Runs program (with args) through a fresh "--peak" helper.
TSample Measure(const std::string& self, const std::vector<std::string>& command) {
    std::string line = "'" + self + "' --peak";
    for (const std::string& part : command)
        line += " '" + part + "'";
    FILE* pipe = popen(line.c_str(), "r");
    if (pipe == nullptr)
        Fail("cannot start " + command.front());
    TSample sample;
    char text[256];
    int code = -1;
    while (std::fgets(text, sizeof text, pipe) != nullptr) {
        std::sscanf(text, "floor %ld", &sample.FloorKB);
        std::sscanf(text, "peak %ld %lf %d", &sample.PeakKB, &sample.Seconds, &code);
        std::sscanf(text, "read %ld %ld", &sample.BeforeKB, &sample.AfterKB);
    }
    if (pclose(pipe) != 0 || code != 0)
        Fail(command.front() + " failed (exit code " + std::to_string(code) + ")");
    return sample;
}

struct TSeries {
    const char* Name;
    std::vector<TSample> Samples{};
    double Median(double TSample::*field) const {
        std::vector<double> values;
        for (const TSample& s : Samples)
            values.push_back(s.*field);
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }
    double Median(long TSample::*field) const {
        std::vector<double> values;
        for (const TSample& s : Samples)
            values.push_back(double(s.*field));
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }
};

} // namespace
} // namespace orvendal

int main(int argc, char** argv) {
    using namespace orvendal;
    if (argc >= 3 && std::strcmp(argv[1], "--peak") == 0)
        return PeakChild(argv + 2);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::string root = (fs::temp_directory_path() / "orvendal-bench-photo/").string();
    if (getenv("XDG_RUNTIME_DIR") == nullptr) {
        fs::create_directories(root + "runtime");
        fs::permissions(root + "runtime", fs::perms::owner_all, fs::perm_options::replace);
        setenv("XDG_RUNTIME_DIR", (root + "runtime").c_str(), 1);
    }
    if (argc >= 3 && std::strcmp(argv[1], "--read-photo") == 0)
        return ReadPhotoChild(argv[2], argc, argv);

    char selfPath[PATH_MAX] = {};
    if (readlink("/proc/self/exe", selfPath, sizeof selfPath - 1) <= 0)
        Fail("no /proc/self/exe");
    const std::string self = selfPath;
    QGuiApplication app(argc, argv);
    const TPlace place{root};
    fs::create_directories(place.Camera());
    MakeCameraJpeg(place.Picture());
    const std::string vipsOut = root + "vips.jpg", convertOut = root + "convert.jpg";

    TSeries inMode0{"ReadPhoto, stamp mode 0, in process"},
        inStamp{"ReadPhoto, default stamp, in process"},
        ownMode0{"ReadPhoto, stamp mode 0, own process"},
        ownStamp{"ReadPhoto, default stamp, own process"}, vips{"vipsthumbnail"},
        convert{"ImageMagick convert"};
    uint64_t storedMode0 = 0, storedStamp = 0;
    for (int i = 0; i < Repeats; ++i) {
        for (auto [series, mode, stored] :
             {std::tuple(&inMode0, "0", &storedMode0), std::tuple(&inStamp, "", &storedStamp)}) {
            Prepare(place, mode);
            TReader reader(place);
            const auto start = TClock::now();
            reader.Blob.ReadPhoto();
            series->Samples.push_back({Seconds(start)});
            *stored = reader.Check();
        }
        for (auto [series, mode] : {std::pair(&ownMode0, "0"), std::pair(&ownStamp, "")}) {
            Prepare(place, mode);
            series->Samples.push_back(Measure(self, {self, "--read-photo", root}));
        }
        vips.Samples.push_back(Measure(self, {"/usr/bin/vipsthumbnail", place.Picture(), "-s",
                                              "640x640", "-o", vipsOut + "[Q=70]"}));
        // /usr/bin/convert by its full name: the real ImageMagick, whatever stands first on PATH.
        convert.Samples.push_back(Measure(self, {"/usr/bin/convert", place.Picture(), "-resize",
                                                 "640x640", "-quality", "70", convertOut}));
    }

    TJpegImage vipsImage, convertImage;
    if (!vipsImage.Load(vipsOut) || !convertImage.Load(convertOut))
        Fail("the tools wrote no JPEG file");
    const double vipsTime = vips.Median(&TSample::Seconds);
    const double vipsPeak = vips.Median(&TSample::PeakKB);
    std::printf("\n%d x %d camera JPEG, quality 90, %.1f MB, to 640 pixels, quality 70; "
                "median of %d\n",
                Width, Height, double(fs::file_size(place.Picture())) / 1e6, Repeats);
    std::printf("  stored or written: ReadPhoto %llu / %llu bytes (mode 0 / stamp), "
                "vipsthumbnail %dx%d %llu bytes, convert %dx%d %llu bytes\n\n",
                static_cast<unsigned long long>(storedMode0),
                static_cast<unsigned long long>(storedStamp), vipsImage.Width, vipsImage.Height,
                static_cast<unsigned long long>(vipsImage.Data.Size()), convertImage.Width,
                convertImage.Height, static_cast<unsigned long long>(convertImage.Data.Size()));
    std::printf("  %-40s %9s %7s %10s %7s\n", "", "wall", "ratio", "peak RSS", "ratio");
    for (const TSeries* s : {&vips, &convert, &inMode0, &inStamp, &ownMode0, &ownStamp}) {
        const double t = s->Median(&TSample::Seconds);
        std::printf("  %-40s %7.3f s %6.2fx", s->Name, t, t / vipsTime);
        const double peak = s->Median(&TSample::PeakKB);
        if (peak > 0)
            std::printf(" %7.1f MB %6.2fx", peak / 1024, peak / vipsPeak);
        if (s->Samples.front().AfterKB > 0)
            std::printf("  (resident %.1f MB before ReadPhoto, %.1f MB at its peak)",
                        s->Median(&TSample::BeforeKB) / 1024, s->Median(&TSample::AfterKB) / 1024);
        std::printf("\n");
    }
    std::printf("\n  goals: ReadPhoto faster than vipsthumbnail (wall ratio < 1), peak memory no "
                "higher (ratio <= 1); helper floor %.1f MB\n",
                vips.Median(&TSample::FloorKB) / 1024);
    fs::remove_all(root);
    return 0;
}
