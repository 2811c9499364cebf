#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/evidence/Manifest.h"
#include "common/evidence/ManifestBuilder.h"
#include "common/export/ImageFilters.h"
#include "common/export/StillImage.h"
#include "common/fs/SafeOpen.h"
#include "tools/zavtool/ChannelPass.h"
#include "tools/zavtool/ExportCommand.h"
#include "tools/zavtool/ExportEvidence.h"
#include "tools/zavtool/OutputFile.h"

#ifdef DVR_EXPORT_STAMP
#include <QtCore/QBuffer>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#endif

namespace dvr::zavtool {

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "zavtool: %s\n", message.c_str());
    return 1;
}

bool endsWith(const std::string& text, std::string_view ending) {
    if (text.size() < ending.size())
        return false;
    for (size_t i = 0; i < ending.size(); ++i)
        if ((text[text.size() - ending.size() + i] | 0x20) != ending[i])
            return false;
    return true;
}

exporting::Status writePng(const std::string& path, const exporting::StillImage& image) {
#ifdef DVR_EXPORT_STAMP
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static int qtArgc = 1;
    static char qtName[] = "zavtool";
    static char* qtArgv[] = {qtName, nullptr};
    QGuiApplication application(qtArgc, qtArgv);
    const QImage picture(image.bgr.data(), image.width, image.height, qsizetype(image.width) * 3,
                         QImage::Format_BGR888);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "PNG"))
        return exporting::Status::failure("cannot write " + path);
    // A new file, as the JPEG still is: nothing at the name is written through.
    if (std::string failure = fs::writeNewFile(path, bytes.constData(), size_t(bytes.size()), 0644);
        !failure.empty())
        return exporting::Status::failure(std::move(failure));
    return exporting::Status::success();
#else
    (void)image;
    return exporting::Status::failure("this build writes no PNG files: " + path);
#endif
}

}  // namespace

int runStillCommand(int argc, char** argv) {
    std::string file;
    std::string out;
    int channel = -1;
    std::optional<DateTime> at;
    std::vector<exporting::StillFilter> filters;
    std::string filterText;
    bool overwrite = false;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const char* value = (i + 1 < argc) ? argv[i + 1] : nullptr;
        if (arg == "--channel") {
            char* end = nullptr;
            const long v = value && *value ? std::strtol(value, &end, 10) : -1;
            if (!value || !*value || *end != '\0' || v < 0 || v > 15)
                return fail("--channel takes a channel number 0 to 15");
            channel = int(v);
            ++i;
        } else if (arg == "--out") {
            if (!value)
                return fail("--out needs a path");
            out = value;
            ++i;
        } else if (arg == "--overwrite") {
            overwrite = true;
        } else if (arg == "--at") {
            at = value ? parseDateTime(value) : std::nullopt;
            if (!at)
                return fail("--at takes \"YYYY-MM-DD HH:MM:SS\"");
            ++i;
        } else if (arg == "--filter") {
            if (!value)
                return fail("--filter needs a list");
            filterText = value;
            std::string_view list = value;
            while (!list.empty()) {
                const size_t comma = list.find(',');
                const std::string_view name = list.substr(0, comma);
                const auto filter = exporting::parseStillFilter(name);
                if (!filter)
                    return fail("unknown filter \"" + std::string(name) +
                                "\" (bright, dark, sharpen, blur, contrast-up, contrast-down)");
                filters.push_back(*filter);
                list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
            }
            ++i;
        } else if (!arg.empty() && arg[0] == '-') {
            return fail("unknown option " + std::string(arg) + " (see --help)");
        } else if (file.empty()) {
            file = arg;
        } else {
            return fail("one file only");
        }
    }
    if (file.empty())
        return fail("no file (see --help)");
    if (channel < 0)
        return fail("still needs --channel N");
    const bool png = endsWith(out, ".png");
    if (!png && !endsWith(out, ".jpg"))
        return fail("still needs --out X.jpg or X.png");
    // The manifest beside the picture is written too: a file at its name is not replaced without
    // --overwrite either.
    for (const std::string& path : {out, evidence::manifestPathOf(out)})
        if (const std::string refusal = checkOutput(path, overwrite, {file}); !refusal.empty())
            return fail(refusal);

    ChannelPass pass;
    if (std::string refusal = pass.prepare(file, channel, at, std::nullopt); !refusal.empty())
        return fail(refusal);
    exporting::StillImage still;
    DateTime time;
    const int threads = std::max(1, int(std::thread::hardware_concurrency()));
    pass.run(threads, [&](const ChannelPicture& p) {
        still.width = p.rect.width;
        still.height = p.rect.height;
        still.bgr.resize(size_t(still.width) * size_t(still.height) * 3);
        const frame::DecodedPicture& picture = *p.picture;
        for (int y = 0; y < still.height; ++y) {
            const uint8_t* s =
                picture.pixels.data() + size_t(p.rect.y + y) * picture.stride() + size_t(p.rect.x) * 4;
            uint8_t* d = still.bgr.data() + size_t(y) * size_t(still.width) * 3;
            for (int x = 0; x < still.width; ++x, s += 4, d += 3) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            }
        }
        time = p.time;
        return false;  // the first picture is the one
    });
    if (still.empty() && !pass.readFailure().empty())
        return fail(pass.readFailure());
    if (still.empty())
        return fail("no picture of channel " + std::to_string(channel) + (at ? " at or after the time" : ""));
    exporting::EditHistory history(std::move(still));
    for (const exporting::StillFilter filter : filters)
        history.apply(filter);
    // The picture is in hand: an existing file moves aside now, not before, and comes back when the new
    // one cannot be written.
    SetAsideOutput earlier;
    if (const std::string refusal = earlier.setAside(out); !refusal.empty())
        return fail(refusal);
    const exporting::Status status =
        png ? writePng(out, history.current()) : exporting::writeStillJpeg(out, history.current());
    if (!status.ok())
        return fail(status.reason());
    const evidence::ManifestWrite manifest =
        evidence::ManifestBuilder::fromBackup("zavtool", file, channel).writeStill(out, dateTimeText(time));
    if (!manifest.ok)
        return fail("manifest not written: " + manifest.message);
    std::printf("%s: channel %d at %s, %d x %d%s%s\n", out.c_str(), channel, stampText(time).c_str(),
                history.current().width, history.current().height, filters.empty() ? "" : ", filters ",
                filterText.c_str());
    return 0;
}

}  // namespace dvr::zavtool
