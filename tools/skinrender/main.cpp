// skinrender: paints the bitmaps of a default skin from its description file.
// Bitmap file names and places come from the skin's res.ini; the description
// says how each bitmap looks.

#include "common/skin/IniDocument.h"
#include "common/skin/SkinValues.h"
#include "tools/skinrender/SkinDescription.h"
#include "tools/skinrender/SkinPainter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

const char* const kUsage =
    "usage: skinrender --ini RES.INI --desc DESCRIPTION --out FOLDER [--stamp FILE]\n"
    "Paints every bitmap a skin description names into FOLDER; bitmap file names\n"
    "are the values of RES.INI, relative to FOLDER.\n";

struct Renderer {
    dvr::skin::IniDocument ini;
    QString outDir;
    std::map<std::string, QImage> rendered;  // by "Section/Key"
    std::string error;
    int written = 0;

    bool fail(const DescStatement& s, const std::string& what) {
        error = "line " + std::to_string(s.line) + ": " + what;
        return false;
    }

    static bool splitRef(const std::string& ref, std::string& section, std::string& key) {
        const auto slash = ref.rfind('/');
        if (slash == std::string::npos || slash == 0 || slash + 1 == ref.size())
            return false;
        section = ref.substr(0, slash);
        key = ref.substr(slash + 1);
        return true;
    }

    std::optional<std::string> iniValue(const std::string& ref) const {
        std::string section, key;
        if (!splitRef(ref, section, key))
            return std::nullopt;
        return ini.value(section, key);
    }

    // "x,y,w,h", "@Section/Key", or several joined by '|' (their union).
    bool rect(const DescStatement& s, const std::string& expr, QRect& out) {
        out = QRect();
        std::stringstream parts(expr);
        std::string part;
        while (std::getline(parts, part, '|')) {
            QRect r;
            if (!part.empty() && part[0] == '@') {
                const auto value = iniValue(part.substr(1));
                if (!value)
                    return fail(s, "no position " + part.substr(1) + " in the skin file");
                const dvr::skin::SkinRect sr = dvr::skin::SkinValues::parsePosition(*value);
                r = QRect(sr.left, sr.top, sr.width(), sr.height());
            } else {
                int x = 0, y = 0, w = 0, h = 0;
                if (std::sscanf(part.c_str(), "%d,%d,%d,%d", &x, &y, &w, &h) != 4)
                    return fail(s, "bad rectangle '" + part + "'");
                r = QRect(x, y, w, h);
            }
            out = out.isNull() ? r : out.united(r);
        }
        const int grow = std::atoi(s.option("grow", "0").c_str());
        out.adjust(-grow, -grow, grow, grow);
        return true;
    }

    bool size(const DescStatement& s, const std::string& expr, QSize& out) {
        int w = 0, h = 0;
        if (std::sscanf(expr.c_str(), "%dx%d", &w, &h) == 2) {
            out = QSize(w, h);
            return true;
        }
        QRect r;
        if (!rect(s, expr, r))
            return false;
        out = r.size();
        return true;
    }

    bool save(const DescStatement& s, const QImage& image, const std::string& relativePath) {
        if (dvr::skin::SkinValues::isEmptyBitmap(relativePath))
            return true;
        const QString path = outDir + QLatin1Char('/') + QString::fromStdString(relativePath);
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!image.convertToFormat(QImage::Format_RGB888).save(path, "BMP"))
            return fail(s, "cannot write " + path.toStdString());
        ++written;
        return true;
    }

    // Saves image under the file name held by the bitmap key ref.
    bool saveKey(const DescStatement& s, const QImage& image, const std::string& ref) {
        const auto value = iniValue(ref);
        if (!value)
            return fail(s, "no bitmap key " + ref + " in the skin file");
        rendered[ref] = image;
        return save(s, image, *value);
    }

    static QColor colour(const std::string& text, const QColor& fallback) {
        if (text.empty())
            return fallback;
        const QColor c(QString::fromStdString(text));
        return c.isValid() ? c : fallback;
    }

    static Qt::Alignment align(const std::string& text) {
        if (text == "left")
            return Qt::AlignLeft | Qt::AlignVCenter;
        if (text == "right")
            return Qt::AlignRight | Qt::AlignVCenter;
        return Qt::AlignCenter;
    }

    bool background(const DescStatement& s) {
        if (s.arguments.size() != 1)
            return fail(s, "background needs one bitmap key");
        QSize sz;
        if (!size(s, s.option("size"), sz) || sz.isEmpty())
            return error.empty() ? fail(s, "background needs a size") : false;
        QImage image(sz, QImage::Format_RGB32);
        QPainter p(&image);
        SkinPainter::fillWindow(p, image.rect(), SkinPainter::Palette::windowTop(),
                                SkinPainter::Palette::windowBottom());
        for (const DescStatement& step : s.children) {
            if (!drawStep(p, step))
                return false;
        }
        p.end();
        return saveKey(s, image, s.arguments[0]);
    }

    bool drawStep(QPainter& p, const DescStatement& step) {
        QRect r;
        if (step.arguments.empty() || !rect(step, step.arguments[0], r))
            return error.empty() ? fail(step, "drawing step needs a rectangle") : false;
        const std::string& cmd = step.command;
        const QString str = step.arguments.size() > 1 ? QString::fromStdString(step.arguments[1]) : QString();
        if (cmd == "gradient") {
            SkinPainter::fillWindow(p, r, colour(step.option("top"), SkinPainter::Palette::windowTop()),
                                    colour(step.option("bottom"), SkinPainter::Palette::windowBottom()));
        } else if (cmd == "panel") {
            SkinPainter::panel(p, r, QString::fromStdString(step.option("title")));
        } else if (cmd == "well") {
            SkinPainter::well(p, r);
        } else if (cmd == "screen") {
            SkinPainter::screen(p, r);
        } else if (cmd == "text") {
            SkinPainter::text(p, r, str, std::atoi(step.option("size", "11").c_str()),
                              colour(step.option("color"), SkinPainter::Palette::title()),
                              align(step.option("align")), step.option("weight") == "bold");
        } else if (cmd == "wordmark") {
            SkinPainter::wordmark(p, r, str, std::atoi(step.option("size", "18").c_str()));
        } else if (cmd == "icon") {
            const QColor c = colour(step.option("color"), SkinPainter::Palette::title());
            if (!SkinPainter::drawIcon(p, str, QRectF(r), c))
                return fail(step, "unknown icon " + str.toStdString());
        } else {
            return fail(step, "unknown drawing step " + cmd);
        }
        return true;
    }

    // Runs f for n in the statement's range "a..b" (or once with n = 0).
    template <typename F>
    bool forEachNumber(const DescStatement& s, F f) {
        const std::string range = s.option("n");
        int first = 0, last = 0;
        if (!range.empty() && std::sscanf(range.c_str(), "%d..%d", &first, &last) != 2)
            return fail(s, "bad range " + range);
        for (int n = first; n <= last; ++n) {
            if (!f(n))
                return false;
        }
        return true;
    }

    bool buttonSet(const DescStatement& s) {
        if (s.arguments.size() != 1)
            return fail(s, "button needs its section");
        return forEachNumber(s, [&](int n) {
            const std::string section = substituteNumber(s.arguments[0], n);
            QRect r;
            if (!rect(s, substituteNumber(s.option("at"), n), r))
                return false;
            const QString style = QString::fromStdString(s.option("style", "default"));
            const QString icon = QString::fromStdString(substituteNumber(s.option("icon"), n));
            const QString label = QString::fromStdString(substituteNumber(s.option("label"), n));
            static const std::pair<const char*, SkinPainter::ButtonState> kStates[] = {
                {"NORMAL", SkinPainter::ButtonState::Normal},
                {"DOWN", SkinPainter::ButtonState::Down},
                {"DISABLE", SkinPainter::ButtonState::Disabled},
                {"DNCHECK", SkinPainter::ButtonState::DownChecked},
            };
            int states = 0;
            for (const auto& [key, state] : kStates) {
                const auto value = ini.value(section, key);
                if (!value || dvr::skin::SkinValues::isEmptyBitmap(*value))
                    continue;
                QImage image = SkinPainter::button(r.size(), state, style, icon, label,
                                                   colour(s.option("bg"), SkinPainter::Palette::panel()));
                if (!save(s, image, *value))
                    return false;
                ++states;
            }
            if (states == 0)
                return fail(s, "button section " + section + " names no bitmap");
            QImage probe(1, 1, QImage::Format_RGB32);
            QPainter pp(&probe);
            if (!icon.isEmpty() && !SkinPainter::drawIcon(pp, icon, QRectF(0, 0, 1, 1), Qt::white))
                return fail(s, "unknown icon " + icon.toStdString());
            return true;
        });
    }

    bool run(const std::vector<DescStatement>& statements) {
        for (const DescStatement& s : statements) {
            bool ok = true;
            if (s.command == "skin") {
                continue;
            } else if (s.command == "background") {
                ok = background(s);
            } else if (s.command == "button") {
                ok = buttonSet(s);
            } else if (s.command == "crop") {
                QRect r;
                if (s.arguments.size() != 1 || !rendered.count(s.option("from")))
                    return fail(s, "crop needs a bitmap key and an earlier from= background");
                ok = rect(s, s.option("rect"), r) &&
                     saveKey(s, rendered[s.option("from")].copy(r), s.arguments[0]);
            } else if (s.command == "slidertrack" || s.command == "sliderthumb") {
                QSize sz;
                if (s.arguments.size() != 1 || !size(s, s.option("size"), sz))
                    return error.empty() ? fail(s, "slider part needs a bitmap key and a size") : false;
                const QString style = QString::fromStdString(s.option("style", "viewer"));
                const QImage image = s.command == "slidertrack" ? SkinPainter::sliderTrack(sz, style)
                                                                : SkinPainter::sliderThumb(sz, style);
                ok = saveKey(s, image, s.arguments[0]);
            } else if (s.command == "glyph") {
                QSize sz;
                if (s.arguments.size() != 1 || !size(s, s.option("size"), sz))
                    return error.empty() ? fail(s, "glyph needs a bitmap key and a size") : false;
                ok = forEachNumber(s, [&](int n) {
                    const QImage image =
                        SkinPainter::glyph(sz, QString::fromStdString(substituteNumber(s.option("text"), n)));
                    return saveKey(s, image, substituteNumber(s.arguments[0], n));
                });
            } else if (s.command == "file") {
                // A bitmap outside the skin file (logos): path relative to the output folder.
                QSize sz;
                if (s.arguments.size() != 1 || !size(s, s.option("size"), sz))
                    return error.empty() ? fail(s, "file needs a path and a size") : false;
                QImage image(sz, QImage::Format_RGB32);
                QPainter p(&image);
                SkinPainter::fillWindow(p, image.rect(),
                                        colour(s.option("top"), SkinPainter::Palette::panel()),
                                        colour(s.option("bottom"), SkinPainter::Palette::panel()));
                for (const DescStatement& step : s.children) {
                    if (!drawStep(p, step))
                        return false;
                }
                p.end();
                ok = save(s, image, s.arguments[0]);
            } else {
                return fail(s, "unknown statement " + s.command);
            }
            if (!ok)
                return false;
        }
        return true;
    }
};

std::optional<std::string> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    std::string iniPath, descPath, outDir, stampPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&](std::string& into) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "skinrender: %s needs a value\n", arg.c_str());
                std::exit(2);
            }
            into = argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--ini") {
            next(iniPath);
        } else if (arg == "--desc") {
            next(descPath);
        } else if (arg == "--out") {
            next(outDir);
        } else if (arg == "--stamp") {
            next(stampPath);
        } else {
            std::fprintf(stderr, "skinrender: unknown argument %s\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }
    if (iniPath.empty() || descPath.empty() || outDir.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const auto iniText = readAll(iniPath);
    if (!iniText) {
        std::fprintf(stderr, "skinrender: cannot read %s\n", iniPath.c_str());
        return 1;
    }
    const auto descText = readAll(descPath);
    if (!descText) {
        std::fprintf(stderr, "skinrender: cannot read %s\n", descPath.c_str());
        return 1;
    }
    const DescParseResult parsed = parseDescription(*descText);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "skinrender: %s: %s\n", descPath.c_str(), parsed.error.c_str());
        return 1;
    }
    Renderer renderer{dvr::skin::IniDocument::parse(*iniText), QString::fromStdString(outDir), {}, {}, 0};
    if (!renderer.run(parsed.statements)) {
        std::fprintf(stderr, "skinrender: %s: %s\n", descPath.c_str(), renderer.error.c_str());
        return 1;
    }
    if (!stampPath.empty()) {
        std::ofstream stamp(stampPath);
        stamp << renderer.written << " bitmaps\n";
    }
    return 0;
}
