#include "tools/zavtool/EvidenceCommands.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/evidence/Signing.h"
#include "common/evidence/Verify.h"
#include "common/json/Json.h"
#include "tools/zavtool/ExportEvidence.h"

namespace dvr::zavtool {

namespace {

constexpr int kUsageStatus = 2;

int usage(const std::string& message) {
    std::fprintf(stderr, "zavtool: %s\n", message.c_str());
    return kUsageStatus;
}

}  // namespace

int runKeygenCommand(int argc, char** argv) {
    bool replace = false;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--force")
            replace = true;
        else
            return usage("unknown option " + std::string(arg) + " (see --help)");
    }
    const evidence::KeyFiles keys = evidence::generateKeyPair(evidence::settingsFolder(), replace);
    if (!keys.ok) {
        std::fprintf(stderr, "zavtool: %s\n", keys.message.c_str());
        return 1;
    }
    const auto key = evidence::Ed25519Key::load(keys.publicPath, false, nullptr);
    std::printf("private key %s\npublic key %s\nfingerprint %s\n", keys.privatePath.c_str(),
                keys.publicPath.c_str(), key ? key->fingerprint().c_str() : "?");
    if (!keys.archivedPublicPath.empty())
        std::printf("previous public key kept as %s\n", keys.archivedPublicPath.c_str());
    return 0;
}

namespace {

// The user's own public keys: the current one beside the private key, then the earlier ones that
// `keygen --force` kept beside it ("manifest-key.FINGERPRINT.pub.pem") and any placed in "public-keys/".
std::vector<std::string> userPublicKeys() {
    std::vector<std::string> paths;
    const std::string folder = evidence::settingsFolder();
    if (folder.empty())
        return paths;
    paths.push_back(folder + "/" + std::string(evidence::kPublicKeyFile));
    std::error_code error;
    std::vector<std::string> earlier;
    const std::string current(evidence::kPublicKeyFile);
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name != current && name.starts_with("manifest-key.") && name.ends_with(".pub.pem"))
            earlier.push_back(entry.path().string());
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder + "/public-keys", error))
        if (entry.path().extension() == ".pem")
            earlier.push_back(entry.path().string());
    std::sort(earlier.begin(), earlier.end());
    paths.insert(paths.end(), earlier.begin(), earlier.end());
    return paths;
}

// The verdict's first line: what the checks proved, never "OK" alone.
std::string verdictLine(const evidence::VerifyOutcome& outcome) {
    const evidence::Manifest& m = *outcome.manifest;
    switch (outcome.trust) {
        case evidence::Trust::Signed:
            return "INTEGRITY OK, SIGNED by " + lineText(m.keyFingerprint);
        case evidence::Trust::SignedUnchecked:
            return "INTEGRITY OK, SIGNATURE NOT CHECKED (no key for " + lineText(m.keyFingerprint) + ")";
        case evidence::Trust::Unsigned:
            break;
    }
    return "INTEGRITY OK, UNSIGNED (shows no accidental damage, not who made it)";
}

// The exported file and its manifest are read through memory maps. Should either shrink while it is read
// (a copy still being written, a stick pulled) or a read fail on the medium, the system raises SIGBUS:
// the verification then ends as damaged, with a line that says why, instead of with a crash. Both lines
// are made before the verification starts; the handler only writes one and ends the program.
std::string g_busLine;
bool g_busLineToStdout = false;

extern "C" void onReadFailedWhileVerifying(int) {
    const ssize_t written =
        ::write(g_busLineToStdout ? STDOUT_FILENO : STDERR_FILENO, g_busLine.data(), g_busLine.size());
    (void)written;
    ::_exit(int(evidence::VerifyStatus::Damaged));
}

void endAsDamagedOnReadFailure(const std::string& path, bool json) {
    const std::string why = path + " changed or could not be read while it was verified";
    g_busLine = json ? "{\"ok\": false, \"status\": " + std::to_string(int(evidence::VerifyStatus::Damaged)) +
                           ", \"file\": " + jsonString(path) + ", \"message\": " + jsonString(why) + "}\n"
                     : "zavtool: " + lineText(why) + "\n";
    g_busLineToStdout = json;
    struct sigaction action {};
    action.sa_handler = onReadFailedWhileVerifying;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, nullptr);
}

}  // namespace

int runVerifyCommand(int argc, char** argv) {
    evidence::VerifyOptions options;
    bool json = false;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--json") {
            json = true;
        } else if (arg == "--require-signature") {
            options.requireSignature = true;
        } else if (arg == "--source" || arg == "--key") {
            if (!value)
                return usage(std::string(arg) + " needs a path");
            (arg == "--source" ? options.sourcePath : options.publicKeyPath) = value;
            ++i;
        } else if (!arg.empty() && arg[0] == '-') {
            return usage("unknown option " + std::string(arg) + " (see --help)");
        } else if (options.filePath.empty()) {
            options.filePath = arg;
        } else {
            return usage("one file only");
        }
    }
    if (options.filePath.empty())
        return usage("verify needs the exported file (see --help)");
    if (!options.publicKeyPath)
        options.knownKeyPaths = userPublicKeys();
    std::optional<BackupRecordCheck> records;
    if (options.sourcePath) {
        records.emplace(*options.sourcePath);
        options.sourceRecords = &*records;
    }
    endAsDamagedOnReadFailure(options.filePath, json);
    const evidence::VerifyOutcome outcome = evidence::verifyExport(options);
    const evidence::Manifest* m = outcome.manifest ? &*outcome.manifest : nullptr;
    const bool ok = outcome.status == evidence::VerifyStatus::Ok;
    if (json) {
        std::string out = "{\"ok\": " + std::string(ok ? "true" : "false") +
                          ", \"status\": " + std::to_string(int(outcome.status)) +
                          ", \"file\": " + jsonString(options.filePath);
        if (!ok)
            out += ", \"message\": " + jsonString(outcome.message);
        if (m) {
            out += ", \"formatVersion\": " + std::to_string(m->formatVersion) +
                   ", \"channel\": " + std::to_string(m->channel) + ", \"frames\": " +
                   (m->hasFrames ? std::to_string(m->frames.size()) : std::string("null")) +
                   ", \"first\": " + jsonString(m->firstPictureTime) +
                   ", \"last\": " + jsonString(m->lastPictureTime) +
                   ", \"trust\": " + jsonString(evidence::trustName(outcome.trust)) +
                   ", \"signed\": " + (outcome.trust == evidence::Trust::Signed ? "true" : "false") +
                   ", \"keyFingerprint\": " +
                   (m->keyFingerprint.empty() ? std::string("null") : jsonString(m->keyFingerprint));
        }
        std::string notes = "[";
        for (size_t i = 0; i < outcome.notes.size(); ++i)
            notes += (i ? ", " : "") + jsonString(outcome.notes[i]);
        out += ", \"sourceChecked\": " + std::string(outcome.sourceChecked ? "true" : "false") +
               ", \"signatureChecked\": " + (outcome.signatureChecked ? "true" : "false") +
               ", \"notes\": " + notes + "]}";
        std::printf("%s\n", out.c_str());
        return int(outcome.status);
    }
    if (outcome.status == evidence::VerifyStatus::Damaged) {
        std::fprintf(stderr, "zavtool: %s\n", lineText(outcome.message).c_str());
        return int(outcome.status);
    }
    if (!ok) {
        std::printf("MISMATCH: %s: %s\n", lineText(options.filePath).c_str(),
                    lineText(outcome.message).c_str());
        return int(outcome.status);
    }
    // What the manifest says is shown as text only: it may come from anybody.
    std::string summary = verdictLine(outcome) + "\n" + lineText(options.filePath) + ": ";
    if (m->hasFrames)
        summary += std::to_string(m->frames.size()) + " frames";
    else
        summary += "one picture";
    summary += " of channel " + std::to_string(m->channel) + " (" + lineText(m->channelName) + "), " +
               lineText(m->firstPictureTime) + " to " + lineText(m->lastPictureTime) + "\n";
    if (m->source.kind == evidence::ManifestSource::Kind::Backup)
        summary += "source: backup file " + lineText(m->source.path) +
                   (outcome.sourceChecked ? " (checked: every frame's source picture)" : "") + "\n";
    else
        summary +=
            "source: recorder " + lineText(m->source.address) + ":" + std::to_string(m->source.port) + "\n";
    summary += "made by " + lineText(m->program) + " " + lineText(m->programVersion) + " at " +
               lineText(m->created) + "\n";
    if (outcome.signatureChecked)
        summary += "signature: good (key " + lineText(outcome.keyPath) + ")\n";
    for (const std::string& note : outcome.notes)
        summary += "note: " + lineText(note) + "\n";
    std::fputs(summary.c_str(), stdout);
    return 0;
}

}  // namespace dvr::zavtool
