// The playback window's Save, Print and AVI buttons: captures the picture area off-screen (the window
// renders it, overlays included), stamps and writes the snapshot, prints the page, and records the AVI
// file with its manifest. What is written where comes from PictureTexts and RecordingController; this
// file captures, paints and writes.
#pragma once

#include "common/evidence/ManifestBuilder.h"
#include "common/export/AviWriter.h"
#include "common/export/FramePipeline.h"
#include "viewer/playback/PictureTexts.h"
#include "viewer/playback/PlaybackController.h"
#include "viewer/playback/RecordingController.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QPrinter;
class QWidget;

namespace dvr::exporting {
class StampPainter;
}

namespace dvr::playback {

// Opens a folder in the desktop's file browser.
class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    virtual void openFolder(const std::string& folder) = 0;
};

// The desktop's file browser (the program only; never in tests).
class SystemDesktopServices final : public DesktopServices {
public:
    void openFolder(const std::string& folder) override;
};

// Chooses the printer: the print dialog, or a PDF file in tests. Null when the user cancelled.
class PrinterChooser {
public:
    virtual ~PrinterChooser() = default;
    virtual std::unique_ptr<QPrinter> choose(QWidget* parent) = 0;
};

class DialogPrinterChooser final : public PrinterChooser {
public:
    std::unique_ptr<QPrinter> choose(QWidget* parent) override;
};

class PdfPrinterChooser final : public PrinterChooser {
public:
    explicit PdfPrinterChooser(QString path) : m_path(std::move(path)) {}
    void setCancel(bool cancel) { m_cancel = cancel; }
    std::unique_ptr<QPrinter> choose(QWidget* parent) override;

private:
    QString m_path;
    bool m_cancel = false;
};

// Where exports go and whose pictures they are.
struct ExportSetup {
    std::string saveFolder;     // the "Record Path" setting
    std::string programFolder;  // holds the RECORD fallback folder
    std::string userFolder;     // takes it when the program folder is not writable
    std::string recorderAddress;
    int recorderPort = 0;
    std::string recorderVersion;
    DesktopServices* desktop = nullptr;   // null: no folder is opened
    PrinterChooser* printer = nullptr;    // null: the print dialog
    std::function<int64_t()> clockMs;     // monotonic milliseconds; null: the steady clock
    std::function<uint64_t()> tickMs;     // the snapshot name's tick; null: the steady clock
    std::function<DateTime()> localTime;  // the time of printing; null: the system's local time
    // Where a recording's bytes go; null: the file itself. Returns null with the reason when it cannot be
    // made.
    std::function<std::unique_ptr<exporting::ByteSink>(const std::string& path, std::string* reason)>
        openSink;
    // Brings folder and recorder up to date before each export (the settings may change meanwhile).
    std::function<void(ExportSetup&)> update;
};

class PlaybackExporter final : private RecordingOutput {
public:
    // `area`: the window's picture area. `report` shows a message (text, caption).
    PlaybackExporter(QWidget& window, PlaybackController& controller, QRect area,
                     std::function<void(const QString&, const QString&)> report,
                     std::function<std::string(const char*, const char*, const char*)> language);
    ~PlaybackExporter() override;

    void setSetup(ExportSetup setup) { m_setup = std::move(setup); }
    // Called after the recording started or stopped on its own (a failed write), for the button.
    void setRecordingChanged(std::function<void()> changed) { m_changed = std::move(changed); }
    const ExportSetup& setup() const { return m_setup; }

    // Save: the stamped snapshot into the save folder; the path written, or empty.
    std::string saveSnapshot();
    void printPicture();
    // The AVI button; returns whether recording now.
    bool toggleRecording();
    void onPause() {
        m_recording.onPause();
        afterRecordingStep();
    }
    bool recording() const { return m_recording.recording(); }
    RecordingController& recordingController() { return m_recording; }
    // The 100 ms capture timer (tests may drive ticks through recordingController()).
    QTimer& timer() { return m_timer; }
    // The picture area as the window shows it now.
    QImage capture(const QRect& rect) const;

private:
    // RecordingOutput
    exporting::Status open(const std::string& path) override;
    bool capture() override;
    exporting::Status writeLastFrame() override;
    exporting::Status close() override;

    void updateSetup();
    std::string saveFolder() const;
    std::string recordFolder() const;
    void afterRecordingStep();
    void reportFailure(const std::string& path, const std::string& reason);
    std::string pictureTimeText() const;

    QWidget& m_window;
    PlaybackController& m_controller;
    QRect m_area;
    std::function<void(const QString&, const QString&)> m_report;
    std::function<std::string(const char*, const char*, const char*)> m_language;
    ExportSetup m_setup;

    RecordingController m_recording;
    QTimer m_timer;
    bool m_wasRecording = false;
    std::function<void()> m_changed;
    std::unique_ptr<exporting::StampPainter> m_stamper;
    std::unique_ptr<exporting::FramePipeline> m_pipeline;
    std::unique_ptr<exporting::ByteSink>
        m_sink;  // an injected sink; declared first, so the writer goes first
    std::unique_ptr<exporting::AviWriter> m_writer;
    std::optional<evidence::ManifestBuilder> m_manifest;
    std::vector<uint8_t> m_lastJpeg;
    std::string m_lastTime;
    int64_t m_lastPosition = 0;
};

}  // namespace dvr::playback
