#pragma once
// The photo rows of a device's "mobil.mdb" (table MBlob): reading a camera photo into a row
// (shrunk, stamped with the shot time, re-encoded), clearing it, marking it for sending again,
// and sending every waiting row as its own small database through the mail or HTTP transport.
//
// Status letters: "0" no photo, "1" read in and waiting, "2" to be sent (again), "3" sent.
// Drawing the time stamp needs a QGuiApplication (for its fonts).

#include "db/SQLADO.h"
#include "view/View.h"

#include <string>

namespace orvendal {

struct TJpegImage;
class TVelMail;
class TVelHTTP;

class TVelBlob {
public:
    TVelBlob() = default;
    virtual ~TVelBlob();

    std::string FileName; // the photo file to read in
    std::string PhotoDir; // folder of the camera's files, with its trailing separator
    // MBlob rows: Id,AuftragId,FeldId,FeldValue,Created,Creator,Status (and, from Open, the
    // shot time as "dd.mm.yyyy hh:nn" text)
    TRecordSet Rows;
    float Zoom = 1.0f;
    TSQLADOServer* Server = nullptr; // "mobil.mdb"; not owned
    std::string WorkDir;             // folder of the temporary, archive and export files, or ""
    int PreviewWidth = 390;
    int PreviewHeight = 290;
    int MaxEdge = 640;        // longest edge of a stored photo
    int Mode = 0;             // 90 for the assignment dialog
    TView* View = nullptr;    // message boxes and repaints
    std::string StatusLabel;  // component that shows the progress of a send
    TVelMail* Mail = nullptr; // not owned
    TVelHTTP* Http = nullptr; // not owned

    // The colour of a photo kind from its field number text (50 when it is no number).
    static TColor KindColor(const std::string& feldId);
    // Shrinks width and height to fit edge on their longer side; never enlarges.
    static void FitInto(int edge, int& width, int& height);

    // The assignment dialog's logic. Its components, by the form names of TForm2: APanel (the
    // preview's panel), Preview, Label103..Label107, YesBtn, NoBtn, RetryBtn, NextBtn, PrevBtn,
    // Button321, Button322. Camera files are found whatever the case of their names.

    // Selects every photo row, then shows the first; on failure only CloseBtn stays.
    void Open();
    // Shows the current row: job, times, kind, the stored photo or the located camera file.
    void Show();
    // The dialog's buttons by tag: 304 previous, 305 next, 306 read in, 307 delete,
    // 309 send again, 321 next row without a photo, 322 choose a file.
    void ButtonClick(int tag);
    // Zooms the preview in steps of 1.2 up to above 3, then back to 1.
    void PreviewClick();
    // The component of a control number.
    static std::string ControlById(int id);

    // Stores FileName into the current row: archive copy, shrink to MaxEdge, time stamp by
    // the mode in SysData 10, JPEG quality 70; the row's status becomes "1".
    void ReadPhoto();
    // Asks, then clears the current row's photo (status "0").
    void DeletePhoto();
    // Asks, then marks the current row for sending again (status "2").
    void ResendPhoto();
    // Sends every row with status "1" or "2", one photo export database each; a sent row gets
    // status "3". True when nothing was to be sent, else the outcome of the last database step.
    bool SendPhotos();

private:
    std::string RowText(int row, int col) const;
    // "Id=" and the Id of a row (0: the current one).
    std::string RowWhere(int row) const;
    bool SelectRows();
    std::string SysValue(int id, bool& found);
    std::string LocateCameraFile();
    // Shows or hides every control but CloseBtn.
    void ShowControls(bool visible);
    void ShowJob();
    void ShowKind();
    void ShowPicture(bool hasPhoto);
    void ShowCameraTime();
    void ShowButtons(bool hasPhoto);
    void PhotoError(const std::string& verb, const std::string& text, TMsgKind kind);
    std::string TimeStampMode();
    // The photo shrunk to MaxEdge, stamped by mode and encoded; false when it is incomplete.
    bool Shrink(const TJpegImage& photo, const std::string& mode, const std::string& stamp,
                TColor color, TMemoryStream& stored) const;
    // The archive copies and the row; nothing stays behind when the row cannot take it.
    void Store(const TJpegImage& photo, const TMemoryStream& stored);
    bool ExportRow(int row, TSQLADOServer& exportDb, TMemoryStream& blob);
    void Sent(bool ok, int row, const std::string& errorText);
};

} // namespace orvendal
