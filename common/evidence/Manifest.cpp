#include "common/evidence/Manifest.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

#include "common/evidence/Sha256.h"
#include "common/json/Json.h"

namespace dvr::evidence {

std::string manifestPathOf(const std::string& exportedPath) {
    return exportedPath + std::string(kManifestSuffix);
}

std::string firstPreviousChain() {
    return std::string(64, '0');
}

uint64_t manifestSizeLimit(uint64_t exportedFileBytes) {
    const uint64_t limit = 64 * 1024 + exportedFileBytes / 8 * 512;
    return std::min<uint64_t>(limit, uint64_t(1) << 30);
}

std::string chainHash(std::string_view previousChain, const ManifestFrame& frame, int formatVersion) {
    std::string text;
    text.reserve(200);
    text.append(previousChain);
    text += '\n';
    text += std::to_string(frame.index);
    text += '\n';
    text += frame.time;
    text += '\n';
    text += std::to_string(frame.sourcePosition);
    text += '\n';
    text += frame.sha256;
    if (formatVersion >= 2) {
        text += '\n';
        text += frame.sourceSha256;
    }
    return hexOf(sha256(text));
}

namespace {

const char* kindName(ManifestSource::Kind kind) {
    return kind == ManifestSource::Kind::Backup ? "backup" : "recorder";
}

}  // namespace

std::string signedText(const Manifest& m) {
    std::string t = std::string(kManifestFormat) + " " + std::to_string(m.formatVersion) + "\n";
    auto line = [&](const char* name, const std::string& value) {
        t += std::string(name) + "=" + value + "\n";
    };
    line("program", jsonString(m.program));
    line("programVersion", jsonString(m.programVersion));
    line("created", jsonString(m.created));
    line("user", jsonString(m.user));
    line("host", jsonString(m.host));
    line("source.kind", jsonString(kindName(m.source.kind)));
    if (m.source.kind == ManifestSource::Kind::Backup) {
        line("source.path", jsonString(m.source.path));
        line("source.size", std::to_string(m.source.sizeBytes));
        line("source.sha256", jsonString(m.source.sha256));
    } else {
        line("source.address", jsonString(m.source.address));
        line("source.port", std::to_string(m.source.port));
        line("source.version", jsonString(m.source.version));
    }
    line("channel", std::to_string(m.channel));
    if (m.formatVersion >= 2) {
        line("channelName", jsonString(m.channelName));
        if (m.settings) {
            const ManifestSettings& e = *m.settings;
            line("settings.width", std::to_string(e.width));
            line("settings.height", std::to_string(e.height));
            line("settings.framesPerSecond", std::to_string(e.framesPerSecond));
            line("settings.pace", jsonString(e.pace));
            line("settings.stamp", e.stamp ? "true" : "false");
            line("settings.jpegQuality", std::to_string(e.jpegQuality));
            line("settings.threads", std::to_string(e.threads));
        }
    }
    line("firstPictureTime", jsonString(m.firstPictureTime));
    line("lastPictureTime", jsonString(m.lastPictureTime));
    line("file.name", jsonString(m.fileName));
    line("file.size", std::to_string(m.fileSizeBytes));
    line("file.sha256", jsonString(m.fileSha256));
    if (m.hasFrames) {
        line("frames", std::to_string(m.frames.size()));
        line("chain", jsonString(m.frames.empty() ? firstPreviousChain() : m.frames.back().chain));
    }
    line("keyFingerprint", jsonString(m.keyFingerprint));
    return t;
}

std::string manifestJson(const Manifest& m) {
    std::string j = "{\n";
    auto field = [&](const char* name, const std::string& value, bool last = false) {
        j += "  " + jsonString(name) + ": " + value + (last ? "\n" : ",\n");
    };
    field("format", jsonString(kManifestFormat));
    field("formatVersion", std::to_string(m.formatVersion));
    field("program", jsonString(m.program));
    field("programVersion", jsonString(m.programVersion));
    field("created", jsonString(m.created));
    field("user", jsonString(m.user));
    field("host", jsonString(m.host));
    std::string source = "{\"kind\": " + jsonString(kindName(m.source.kind));
    if (m.source.kind == ManifestSource::Kind::Backup)
        source += ", \"path\": " + jsonString(m.source.path) +
                  ", \"size\": " + std::to_string(m.source.sizeBytes) +
                  ", \"sha256\": " + jsonString(m.source.sha256) + "}";
    else
        source += ", \"address\": " + jsonString(m.source.address) +
                  ", \"port\": " + std::to_string(m.source.port) +
                  ", \"version\": " + jsonString(m.source.version) + "}";
    field("source", source);
    field("channel", std::to_string(m.channel));
    field("channelName", jsonString(m.channelName));
    if (m.formatVersion >= 2 && m.settings) {
        const ManifestSettings& e = *m.settings;
        field("settings",
              "{\"width\": " + std::to_string(e.width) + ", \"height\": " + std::to_string(e.height) +
                  ", \"framesPerSecond\": " + std::to_string(e.framesPerSecond) +
                  ", \"pace\": " + jsonString(e.pace) + ", \"stamp\": " + (e.stamp ? "true" : "false") +
                  ", \"jpegQuality\": " + std::to_string(e.jpegQuality) +
                  ", \"threads\": " + std::to_string(e.threads) + "}");
    }
    field("firstPictureTime", jsonString(m.firstPictureTime));
    field("lastPictureTime", jsonString(m.lastPictureTime));
    field("file", "{\"name\": " + jsonString(m.fileName) + ", \"size\": " + std::to_string(m.fileSizeBytes) +
                      ", \"sha256\": " + jsonString(m.fileSha256) + "}");
    if (m.hasFrames) {
        std::string frames = "[";
        for (size_t i = 0; i < m.frames.size(); ++i) {
            const ManifestFrame& f = m.frames[i];
            frames += (i ? ",\n    " : "\n    ");
            frames +=
                "{\"index\": " + std::to_string(f.index) + ", \"time\": " + jsonString(f.time) +
                ", \"source\": " + std::to_string(f.sourcePosition) +
                ", \"sha256\": " + jsonString(f.sha256) +
                (m.formatVersion >= 2 ? ", \"sourceSha256\": " + jsonString(f.sourceSha256) : std::string()) +
                ", \"chain\": " + jsonString(f.chain) + "}";
        }
        frames += m.frames.empty() ? "]" : "\n  ]";
        field("frames", frames);
    }
    if (m.signature.empty()) {
        field("signature", "null", true);
    } else {
        field("signature",
              "{\"algorithm\": \"Ed25519\", \"keyFingerprint\": " + jsonString(m.keyFingerprint) +
                  ", \"value\": " + jsonString(m.signature) + "}",
              true);
    }
    j += "}\n";
    return j;
}

namespace {

// Reads the fields of a parsed manifest; the first missing or mistyped one ends the reading.
class FieldReader {
public:
    std::string error;

    const JsonValue* get(const JsonValue& object, const char* name, JsonValue::Kind kind,
                         const std::string& path) {
        const JsonValue* v = object.member(name);
        if (!v) {
            fail(path + name + " is missing");
            return nullptr;
        }
        if (v->kind != kind) {
            fail(path + name + " has the wrong type");
            return nullptr;
        }
        return v;
    }
    bool text(const JsonValue& object, const char* name, std::string& out, const std::string& path = "") {
        const JsonValue* v = get(object, name, JsonValue::Kind::String, path);
        if (!v)
            return false;
        out = v->text;
        return true;
    }
    bool hash(const JsonValue& object, const char* name, std::string& out, const std::string& path = "") {
        if (!text(object, name, out, path))
            return false;
        if (out.size() != 64 || !bytesFromHex(out))
            return fail(path + name + " is not a SHA-256 in hex");
        // Compared as text from here on, as every writer writes it: in small letters.
        for (char& c : out)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        return true;
    }
    bool integer(const JsonValue& object, const char* name, int64_t low, int64_t high, int64_t& out,
                 const std::string& path = "") {
        const JsonValue* v = get(object, name, JsonValue::Kind::Number, path);
        if (!v)
            return false;
        if (!v->integer || *v->integer < low || *v->integer > high)
            return fail(path + name + " is out of range");
        out = *v->integer;
        return true;
    }
    bool fail(std::string what) {
        if (error.empty())
            error = std::move(what);
        return false;
    }
};

}  // namespace

namespace {

// The keys each object of a manifest may hold, by version.
bool knownKeys(const JsonValue& object, std::initializer_list<std::string_view> keys, const std::string& path,
               std::string& unknown) {
    if (!unknown.empty())
        return false;
    for (const JsonMember& m : object.members) {
        if (std::find(keys.begin(), keys.end(), m.name) == keys.end()) {
            unknown = path + m.name;
            return false;
        }
    }
    return true;
}

// A picture time as exports write it: "YYYY-MM-DD HH:MM:SS" as a rule, but a record's damaged date
// is written as it reads, so only the length is held to what such a text can take.
bool isPictureTime(const std::string& t) {
    return t.size() <= 64;
}

constexpr size_t kMaxValuesBesideFrames = 4096;

}  // namespace

ManifestParse parseManifest(std::string_view text) {
    ManifestParse out;
    FieldReader r;
    Manifest m;
    std::string unknown;
    // Frame entries are read as the reader meets them, before the document is whole: their version is
    // the first "formatVersion" of the text (manifests name it second), checked against the document's.
    int entryVersion = kManifestFormatVersion;
    if (const size_t key = text.find("\"formatVersion\""); key != std::string_view::npos) {
        size_t at = key + 15;
        while (at < text.size() && (text[at] == ' ' || text[at] == ':' || text[at] == '\n' ||
                                    text[at] == '\t' || text[at] == '\r'))
            ++at;
        if (at < text.size() && text[at] == '1' &&
            (at + 1 == text.size() || !(text[at + 1] >= '0' && text[at + 1] <= '9')))
            entryVersion = 1;
    }
    auto takeEntry = [&](JsonValue&& e, std::string& error) {
        const size_t i = m.frames.size();
        const std::string path = "frames[" + std::to_string(i) + "].";
        int64_t n = 0;
        ManifestFrame f;
        if (e.kind != JsonValue::Kind::Object) {
            error = "frames[" + std::to_string(i) + "] is not an object";
            return false;
        }
        bool ok = r.integer(e, "index", 0, UINT32_MAX, n, path);
        f.index = uint32_t(n);
        ok = ok && r.text(e, "time", f.time, path) &&
             (isPictureTime(f.time) || r.fail(path + "time is not a picture time")) &&
             r.integer(e, "source", INT64_MIN, INT64_MAX, n, path);
        f.sourcePosition = n;
        ok = ok && r.hash(e, "sha256", f.sha256, path) && r.hash(e, "chain", f.chain, path);
        if (ok && entryVersion >= 2) {
            ok = r.text(e, "sourceSha256", f.sourceSha256, path);
            if (ok && !f.sourceSha256.empty() &&
                (f.sourceSha256.size() != 64 || !bytesFromHex(f.sourceSha256)))
                ok = r.fail(path + "sourceSha256 is not a SHA-256 in hex");
        }
        if (!ok) {
            error = r.error;
            return false;
        }
        if (entryVersion >= 2)
            knownKeys(e, {"index", "time", "source", "sha256", "sourceSha256", "chain"}, path, unknown);
        else
            knownKeys(e, {"index", "time", "source", "sha256", "chain"}, path, unknown);
        m.frames.push_back(std::move(f));
        return true;
    };
    JsonItemHook hook;
    hook.member = "frames";
    hook.take = [&](JsonValue&& item, std::string& error) {
        m.hasFrames = true;
        return takeEntry(std::move(item), error);
    };
    const JsonParse json = parseJson(text, kMaxValuesBesideFrames, &hook);
    if (!json.value) {
        out.error = json.error;
        return out;
    }
    const JsonValue& root = *json.value;
    if (root.kind != JsonValue::Kind::Object) {
        out.error = "not a JSON object";
        return out;
    }
    std::string format;
    int64_t n = 0;
    const bool header = r.text(root, "format", format) &&
                        (format == kManifestFormat || r.fail("not a manifest")) &&
                        r.integer(root, "formatVersion", 1, 1 << 30, n) &&
                        ((n >= 1 && n <= kManifestFormatVersion) ||
                         r.fail("format version " + std::to_string(n) + " is not known"));
    m.formatVersion = int(n);
    if (header && m.formatVersion != entryVersion && !m.frames.empty()) {
        out.error = "formatVersion is not the first one in the text";
        return out;
    }
    bool ok = header && r.text(root, "program", m.program) &&
              r.text(root, "programVersion", m.programVersion) && r.text(root, "created", m.created) &&
              r.text(root, "user", m.user) && r.text(root, "host", m.host);
    const JsonValue* source = ok ? r.get(root, "source", JsonValue::Kind::Object, "") : nullptr;
    ok = ok && source;
    if (ok) {
        std::string kind;
        ok = r.text(*source, "kind", kind, "source.");
        if (ok && kind == "backup") {
            m.source.kind = ManifestSource::Kind::Backup;
            ok = r.text(*source, "path", m.source.path, "source.") &&
                 r.integer(*source, "size", 0, INT64_MAX, n, "source.") &&
                 r.hash(*source, "sha256", m.source.sha256, "source.");
            m.source.sizeBytes = uint64_t(n);
            knownKeys(*source, {"kind", "path", "size", "sha256"}, "source.", unknown);
        } else if (ok && kind == "recorder") {
            m.source.kind = ManifestSource::Kind::Recorder;
            ok = r.text(*source, "address", m.source.address, "source.") &&
                 r.integer(*source, "port", 0, 65535, n, "source.") &&
                 r.text(*source, "version", m.source.version, "source.");
            m.source.port = int(n);
            knownKeys(*source, {"kind", "address", "port", "version"}, "source.", unknown);
        } else if (ok) {
            ok = r.fail("source.kind is neither backup nor recorder");
        }
    }
    ok = ok && r.integer(root, "channel", 0, 15, n);
    m.channel = int(n);
    ok = ok && r.text(root, "channelName", m.channelName);
    if (ok && m.formatVersion >= 2) {
        if (const JsonValue* settings = root.member("settings")) {
            ManifestSettings e;
            const std::string path = "settings.";
            bool stamp = false;
            ok = settings->kind == JsonValue::Kind::Object || r.fail("settings has the wrong type");
            ok = ok && r.integer(*settings, "width", 0, 65535, n, path);
            e.width = int(n);
            ok = ok && r.integer(*settings, "height", 0, 65535, n, path);
            e.height = int(n);
            ok = ok && r.integer(*settings, "framesPerSecond", 0, 1000, n, path);
            e.framesPerSecond = int(n);
            ok = ok && r.text(*settings, "pace", e.pace, path);
            const JsonValue* stampValue =
                ok ? r.get(*settings, "stamp", JsonValue::Kind::Bool, path) : nullptr;
            ok = ok && stampValue;
            if (stampValue)
                stamp = stampValue->boolean;
            e.stamp = stamp;
            ok = ok && r.integer(*settings, "jpegQuality", 0, 100, n, path);
            e.jpegQuality = int(n);
            ok = ok && r.integer(*settings, "threads", 0, 1024, n, path);
            e.threads = int(n);
            if (ok)
                knownKeys(*settings,
                          {"width", "height", "framesPerSecond", "pace", "stamp", "jpegQuality", "threads"},
                          path, unknown);
            m.settings = e;
        }
    }
    ok = ok && r.text(root, "firstPictureTime", m.firstPictureTime) &&
         r.text(root, "lastPictureTime", m.lastPictureTime);
    const JsonValue* file = ok ? r.get(root, "file", JsonValue::Kind::Object, "") : nullptr;
    ok = ok && file && r.text(*file, "name", m.fileName, "file.") &&
         r.integer(*file, "size", 0, INT64_MAX, n, "file.") && r.hash(*file, "sha256", m.fileSha256, "file.");
    m.fileSizeBytes = uint64_t(n);
    if (ok)
        knownKeys(*file, {"name", "size", "sha256"}, "file.", unknown);
    if (ok) {
        if (const JsonValue* frames = root.member("frames")) {
            // The entries went to the frame list as they were read; an empty array or another type
            // stays here.
            m.hasFrames = true;
            if (frames->kind != JsonValue::Kind::Array)
                ok = r.fail("frames has the wrong type");
        }
    }
    if (ok) {
        const JsonValue* signature = root.member("signature");
        if (!signature) {
            ok = r.fail("signature is missing");
        } else if (signature->kind == JsonValue::Kind::Object) {
            std::string algorithm;
            ok = r.text(*signature, "algorithm", algorithm, "signature.") &&
                 (algorithm == "Ed25519" || r.fail("signature.algorithm is not Ed25519")) &&
                 r.hash(*signature, "keyFingerprint", m.keyFingerprint, "signature.") &&
                 r.text(*signature, "value", m.signature, "signature.");
            if (ok && (m.signature.size() != 128 || !bytesFromHex(m.signature)))
                ok = r.fail("signature.value is not an Ed25519 signature in hex");
            if (ok)
                knownKeys(*signature, {"algorithm", "keyFingerprint", "value"}, "signature.", unknown);
        } else if (signature->kind != JsonValue::Kind::Null) {
            ok = r.fail("signature has the wrong type");
        }
    }
    if (ok) {
        if (m.formatVersion >= 2)
            knownKeys(root,
                      {"format", "formatVersion", "program", "programVersion", "created", "user", "host",
                       "source", "channel", "channelName", "settings", "firstPictureTime", "lastPictureTime",
                       "file", "frames", "signature"},
                      "", unknown);
        else
            knownKeys(root,
                      {"format", "formatVersion", "program", "programVersion", "created", "user", "host",
                       "source", "channel", "channelName", "firstPictureTime", "lastPictureTime", "file",
                       "frames", "signature"},
                      "", unknown);
    }
    if (!ok) {
        out.error = r.error;
        return out;
    }
    out.unknownKey = unknown;
    out.manifest = std::move(m);
    return out;
}

}  // namespace dvr::evidence
