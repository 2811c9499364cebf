#include "viewer/playback/widgets/PlaybackExporter.h"

#include "common/evidence/Manifest.h"
#include "common/export/StillImage.h"
#include "common/export/render/PagePainter.h"
#include "common/export/render/StampPainter.h"
#include "common/skin/ProgramFiles.h"
#include "common/skin/widgets/WidgetGrab.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QFont>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QUrl>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

namespace dvr::playback {

namespace {

constexpr const char* kProgram = "Vistrel";
constexpr const char* kRecordFolder = "RECORD";
constexpr int kRecordingStampHeightPx = 25;

int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Creates the folder when missing; the reason when it cannot be made.
std::string makeFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (std::filesystem::is_directory(folder, error))
        return {};
    return error ? error.message() : std::string("not a folder");
}

// B, G, R rows of a captured picture.
exporting::StillImage toStill(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    exporting::StillImage still;
    still.width = rgb.width();
    still.height = rgb.height();
    still.bgr.resize(size_t(still.width) * size_t(still.height) * 3);
    for (int y = 0; y < still.height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uint8_t* out = still.bgr.data() + size_t(y) * size_t(still.width) * 3;
        for (int x = 0; x < still.width; ++x) {
            *out++ = uint8_t(qBlue(row[x]));
            *out++ = uint8_t(qGreen(row[x]));
            *out++ = uint8_t(qRed(row[x]));
        }
    }
    return still;
}

void paintStamp(QImage& image, const std::vector<SnapshotText>& texts) {
    QPainter painter(&image);
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(16);
    font.setBold(true);
    painter.setFont(font);
    const int ascent = painter.fontMetrics().ascent();
    for (const SnapshotText& t : texts) {
        const QString text = QString::fromStdString(t.text);
        if (t.red) {
            painter.setPen(Qt::red);
            painter.drawText(QRect(t.x, t.y, 360, 30), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                             text);
            continue;
        }
        const int baseline = t.y + ascent;
        painter.setPen(Qt::black);
        for (const QPoint d : {QPoint(1, 1), QPoint(-1, 1), QPoint(1, -1), QPoint(-1, -1)})
            painter.drawText(t.x + d.x(), baseline + d.y(), text);
        painter.setPen(Qt::white);
        painter.drawText(t.x, baseline, text);
    }
}

// The manifest's channel: the one shown alone, or the first of several panes.
int manifestChannel(const PlaybackLayout& layout) {
    return layout.columns() <= 1 ? layout.selectedChannel() : layout.firstChannel();
}

DateTime systemLocalTime() {
    const QDateTime now = QDateTime::currentDateTime();
    return {now.date().year(), now.date().month(),  now.date().day(),
            now.time().hour(), now.time().minute(), now.time().second()};
}

}  // namespace

void SystemDesktopServices::openFolder(const std::string& folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
}

std::unique_ptr<QPrinter> DialogPrinterChooser::choose(QWidget* parent) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer.get(), parent);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    if (dialog.exec() != QDialog::Accepted)
        return nullptr;
    return printer;
}

std::unique_ptr<QPrinter> PdfPrinterChooser::choose(QWidget*) {
    if (m_cancel)
        return nullptr;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(m_path);
    return printer;
}

PlaybackExporter::PlaybackExporter(QWidget& window, PlaybackController& controller, QRect area,
                                   std::function<void(const QString&, const QString&)> report,
                                   std::function<std::string(const char*, const char*, const char*)> language)
    : m_window(window),
      m_controller(controller),
      m_area(area),
      m_report(std::move(report)),
      m_language(std::move(language)),
      m_recording(*this, [this] { return m_setup.clockMs ? m_setup.clockMs() : steadyMs(); }) {
    m_timer.setInterval(RecordingController::kFramePeriodMs);
    QObject::connect(&m_timer, &QTimer::timeout, &m_window, [this] {
        m_recording.onTick();
        afterRecordingStep();
    });
}

PlaybackExporter::~PlaybackExporter() {
    m_timer.stop();
    m_recording.stop();
}

QImage PlaybackExporter::capture(const QRect& rect) const {
    // The window renders itself off-screen: exactly what it shows, whatever covers it on the screen.
    return skin::grabAtOwnSize(m_window, rect, QImage::Format_RGB32);
}

std::string PlaybackExporter::pictureTimeText() const {
    return dateTimeText(m_controller.pictureTimeValue());
}

void PlaybackExporter::updateSetup() {
    if (m_setup.update)
        m_setup.update(m_setup);
}

std::string PlaybackExporter::saveFolder() const {
    // No "Record Path" set: the program's RECORD folder (per user when the program folder is not writable).
    if (m_setup.saveFolder.empty() && !m_setup.programFolder.empty())
        return skin::ProgramFiles(m_setup.programFolder, m_setup.userFolder).writePath(kRecordFolder);
    return m_setup.saveFolder;
}

std::string PlaybackExporter::recordFolder() const {
    if (!m_setup.saveFolder.empty() && makeFolder(m_setup.saveFolder).empty())
        return m_setup.saveFolder;
    const skin::ProgramFiles files(m_setup.programFolder, m_setup.userFolder);
    const std::string fallback = files.writePath(kRecordFolder);
    return fallback.empty() ? m_setup.saveFolder : fallback;
}

void PlaybackExporter::reportFailure(const std::string& path, const std::string& reason) {
    if (m_report)
        m_report(QString::fromStdString(path + "\n" + reason), QString::fromLatin1(kProgram));
}

std::string PlaybackExporter::saveSnapshot() {
    if (m_controller.busy() || m_area.isEmpty())
        return {};
    updateSetup();
    QImage picture = capture(m_area);
    const PlaybackLayout& layout = m_controller.layout();
    const DateTime& time = m_controller.pictureTimeValue();
    paintStamp(picture, snapshotStampTexts(layout.columns(), layout.firstChannel(), layout.selectedChannel(),
                                           picture.width(), picture.height(), time));
    const std::string folder = saveFolder();
    if (const std::string reason = makeFolder(folder); !reason.empty()) {
        reportFailure(folder, reason);
        return {};
    }
    const uint64_t tick = m_setup.tickMs ? m_setup.tickMs() : uint64_t(steadyMs());
    // Several panes name the file after the selected channel as well: 255 ("CAM0") in four panes, the
    // first channel shown in nine and sixteen.
    const int selected = layout.selectedChannel();
    const std::string path = exporting::viewerSnapshotName(folder, selected, time, tick);
    if (const exporting::Status written = exporting::writeStillJpeg(path, toStill(picture)); !written.ok()) {
        reportFailure(path, written.reason());
        return {};
    }
    evidence::ManifestBuilder manifest =
        evidence::ManifestBuilder::fromRecorder(kProgram, m_setup.recorderAddress, m_setup.recorderPort,
                                                m_setup.recorderVersion, manifestChannel(layout));
    if (const evidence::ManifestWrite w = manifest.writeStill(path, pictureTimeText()); !w.ok)
        reportFailure(path + ".manifest.json", w.message);
    if (m_setup.desktop)
        m_setup.desktop->openFolder(folder);
    return path;
}

void PlaybackExporter::printPicture() {
    if (m_controller.busy() || m_area.height() < 2)
        return;
    updateSetup();
    // The picture area without its top row.
    const QImage picture = capture(m_area.adjusted(0, 1, 0, 0));
    DialogPrinterChooser dialog;
    PrinterChooser& chooser = m_setup.printer ? *m_setup.printer : static_cast<PrinterChooser&>(dialog);
    std::unique_ptr<QPrinter> printer = chooser.choose(&m_window);
    if (!printer)
        return;
    PrintedPicture facts;
    facts.title = m_language("PRINT", "Vistrel", "Vistrel");
    facts.dateTimeCaption = m_language("PRINT", "PLAY DATE/TIME", "PLAY DATE/TIME");
    facts.rangeStart = m_controller.rangeStart();
    facts.rangeEnd = m_controller.rangeEnd();
    facts.requestTime = m_controller.requestTime();
    facts.printTime = m_setup.localTime ? m_setup.localTime() : systemLocalTime();
    // The size lines name the picture area, not the capture without its top row.
    facts.width = m_area.width();
    facts.height = m_area.height();
    const exporting::PrintSheet sheet = playbackPrintSheet(facts);
    printer->setFullPage(true);
    printer->setDocName(QString::fromStdString(sheet.documentTitle));
    const int pageWidthPx = printer->paperRect(QPrinter::DevicePixel).toRect().width();
    const QString outputFile =
        printer->outputFormat() == QPrinter::PdfFormat ? printer->outputFileName() : QString();
    // A document begun but not finished (a PDF file cut off) is no print either: the user hears of it.
    if (exporting::printPage(*printer, pageWidthPx, sheet, picture, outputFile) !=
            exporting::PagePrinted::Printed &&
        m_report)
        m_report(QString::fromStdString(m_language("ERR_MSG", "MSG_001", " Can't find Printer's driver!")),
                 QString::fromLatin1(kProgram));
}

bool PlaybackExporter::toggleRecording() {
    const bool busy = m_controller.busy();
    std::string path;
    if (!m_recording.recording() && !busy) {
        updateSetup();
        path = recordingFileName(
            recordFolder(), m_controller.pictureTimeValue(),
            m_setup.localTime ? m_setup.localTime() : systemLocalTime(), [](const std::string& name) {
                // A name is taken by anything there, and by the manifest of an earlier recording whose
                // file went elsewhere: a new recording never replaces it.
                std::error_code error;
                return std::filesystem::exists(std::filesystem::symlink_status(name, error)) ||
                       std::filesystem::exists(
                           std::filesystem::symlink_status(evidence::manifestPathOf(name), error));
            });
    }
    m_recording.onButton(path, busy);
    afterRecordingStep();
    return m_recording.recording();
}

void PlaybackExporter::afterRecordingStep() {
    const bool now = m_recording.recording();
    if (now && !m_timer.isActive())
        m_timer.start();
    if (!now)
        m_timer.stop();
    const bool stopped = m_wasRecording && !now;
    const bool failedToStart = !m_wasRecording && !now && !m_recording.failure().empty();
    m_wasRecording = now;
    if (!m_recording.failure().empty() && (stopped || failedToStart))
        reportFailure(m_recording.path(), m_recording.failure());
    else if (stopped && m_setup.desktop)
        m_setup.desktop->openFolder(std::filesystem::path(m_recording.path()).parent_path().string());
    if ((stopped || failedToStart) && m_changed)
        m_changed();
}

exporting::Status PlaybackExporter::open(const std::string& path) {
    if (const std::string reason = makeFolder(std::filesystem::path(path).parent_path().string());
        !reason.empty())
        return exporting::Status::failure(reason);
    exporting::AviWriterOptions options;
    options.consistencyIntervalFrames = 100;
    m_writer = std::make_unique<exporting::AviWriter>(options);
    exporting::AviVideoFormat format;
    format.width = m_area.width();
    format.height = m_area.height();
    format.framesPerSecond = RecordingController::kFramesPerSecond;
    format.streamName = std::filesystem::path(path).filename().string();
    exporting::Status opened = exporting::Status::success();
    if (!m_setup.openSink) {
        // The writer makes the file as new: never over an existing file (a recording made a moment
        // earlier with the same picture time), never through a symbolic link.
        opened = m_writer->open(path, format);
    } else {
        std::string reason;
        m_sink = m_setup.openSink(path, &reason);
        if (!m_sink)
            return exporting::Status::failure(reason);
        opened = m_writer->open(*m_sink, format);
    }
    if (!opened.ok())
        return opened;
    if (!m_stamper)
        m_stamper = std::make_unique<exporting::StampPainter>();
    m_pipeline = std::make_unique<exporting::FramePipeline>(m_stamper.get());
    const PlaybackLayout& layout = m_controller.layout();
    m_manifest.emplace(evidence::ManifestBuilder::fromRecorder(kProgram, m_setup.recorderAddress,
                                                               m_setup.recorderPort, m_setup.recorderVersion,
                                                               manifestChannel(layout)));
    // Frames taken off the screen at a fixed rate, stamped, at quality 70.
    m_manifest->setSettings(
        {m_area.width(), m_area.height(), RecordingController::kFramesPerSecond, "capture", true, 70, 1});
    m_lastJpeg.clear();
    return exporting::Status::success();
}

bool PlaybackExporter::capture() {
    const QImage picture = capture(m_area);
    if (picture.isNull() || !m_pipeline)
        return false;
    exporting::PixelSource source;
    source.pixels = picture.constBits();
    source.width = picture.width();
    source.height = picture.height();
    source.strideBytes = size_t(picture.bytesPerLine());
    source.channels = 4;
    exporting::Stamp stamp;
    stamp.time = m_controller.pictureTimeValue();
    stamp.textHeightPx = kRecordingStampHeightPx;
    const std::span<const uint8_t> jpeg =
        m_pipeline->encodeFrame(source, m_area.width(), m_area.height(), &stamp);
    if (jpeg.empty())
        return false;
    m_lastJpeg.assign(jpeg.begin(), jpeg.end());
    m_lastTime = pictureTimeText();
    m_lastPosition = int64_t(m_controller.position());
    return true;
}

exporting::Status PlaybackExporter::writeLastFrame() {
    if (const exporting::Status s = m_writer->writeVideoFrame(m_lastJpeg); !s.ok())
        return s;
    if (m_manifest)
        m_manifest->addFrame(m_lastTime, m_lastPosition, m_lastJpeg);
    return exporting::Status::success();
}

exporting::Status PlaybackExporter::close() {
    const exporting::Status closed = m_writer ? m_writer->close() : exporting::Status::success();
    // The manifest speaks for a finished file only: after a failed write the file holds what its last
    // consistent point held, which the frames listed need not match.
    std::optional<evidence::ManifestBuilder> manifest = std::exchange(m_manifest, std::nullopt);
    if (manifest && closed.ok()) {
        const evidence::ManifestWrite w = manifest->write(m_recording.path());
        if (!w.ok)
            return exporting::Status::failure(w.message);
    }
    return closed;
}

}  // namespace dvr::playback
