#include "player/edit/EditWindowModel.h"

#include <cstdio>
#include <filesystem>

#include "common/evidence/Manifest.h"
#include "common/evidence/ManifestBuilder.h"
#include "common/fs/SafeOpen.h"
#include "player/view/PlayerFolders.h"

namespace dvr::player {

namespace {

struct CommandWord {
    int id;
    const char* word;
    size_t length;
};

constexpr CommandWord kCommandWords[] = {
    {edit::kBright, "BRIGHT", 31},
    {edit::kDark, "DARK", 32},
    {edit::kSharpen, "SHARPEN", 32},
    {edit::kBlur, "BLUR", 32},
    {edit::kContrastUp, "CONTRAST UP", 27},
    {edit::kContrastDown, "CONTRAST DOWN", 15},
    {edit::kSave, "SAVE", 32},
    {edit::kPrint, "PRINT", 33},
    {edit::kUndo, "UNDO", 12},
    {edit::kRedo, "REDO", 12},
};

std::optional<exporting::StillFilter> filterOf(int id) {
    using exporting::StillFilter;
    switch (id) {
        case edit::kBright:
            return StillFilter::Bright;
        case edit::kDark:
            return StillFilter::Dark;
        case edit::kSharpen:
            return StillFilter::Sharpen;
        case edit::kBlur:
            return StillFilter::Blur;
        case edit::kContrastUp:
            return StillFilter::ContrastUp;
        case edit::kContrastDown:
            return StillFilter::ContrastDown;
        default:
            return std::nullopt;
    }
}

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

}  // namespace

std::string editCommandText(int id) {
    for (const CommandWord& entry : kCommandWords) {
        if (entry.id == id) {
            std::string text = entry.word;
            if (text.size() < entry.length) {
                text.append(entry.length - text.size(), ' ');
            }
            return text;
        }
    }
    return {};
}

EditWindowModel::EditWindowModel(EditPicture picture)
    : m_history(std::move(picture.image)),
      m_time(picture.time),
      m_channel(picture.channel),
      m_backupPath(std::move(picture.backupPath)),
      m_sourceDigest(picture.sourceDigest) {}

bool EditWindowModel::command(int id) {
    if (const auto filter = filterOf(id)) {
        m_commandText = editCommandText(id);
        if (m_history.current().empty()) {
            return false;
        }
        m_history.apply(*filter);
        return true;
    }
    if (id == edit::kUndo) {
        m_commandText = editCommandText(id);
        return m_history.undo();
    }
    if (id == edit::kRedo) {
        m_commandText = editCommandText(id);
        return m_history.redo();
    }
    if (id == edit::kPrint) {
        // PRINT shows its text; the picture stays as it is.
        m_commandText = editCommandText(id);
    }
    return false;
}

std::string EditWindowModel::dateText() const {
    return format("DATE : %d / %02d / %02d", m_time.year, m_time.month, m_time.day);
}

std::string EditWindowModel::timeText() const {
    return format("TIME : %02d : %02d : %02d", m_time.hour, m_time.minute, m_time.second);
}

std::string EditWindowModel::widthText() const {
    return format("WIDTH  : %d pixel", image().width);
}

std::string EditWindowModel::heightText() const {
    return format("HEIGHT: %d pixel", image().height);
}

evidence::ManifestWrite EditWindowModel::writeManifest(const std::string& stillPath) const {
    constexpr const char* kProgram = "Discoro";
    char time[40];
    std::snprintf(time, sizeof time, "%04d-%02d-%02d %02d:%02d:%02d", m_time.year, m_time.month, m_time.day,
                  m_time.hour, m_time.minute, m_time.second);
    evidence::ManifestBuilder builder =
        m_backupPath.empty()
            ? evidence::ManifestBuilder(kProgram)
            : evidence::ManifestBuilder::fromBackup(kProgram, m_backupPath, m_channel, m_sourceDigest);
    return builder.writeStill(stillPath, time);
}

std::optional<int> EditWindowModel::sourceDigestPercent() const {
    if (m_backupPath.empty() || !m_sourceDigest)
        return std::nullopt;
    return m_sourceDigest->percentDone(m_backupPath);
}

bool EditWindowModel::sourceDigestReady() const {
    return m_backupPath.empty() || (m_sourceDigest && m_sourceDigest->ready(m_backupPath));
}

SaveOutcome EditWindowModel::save(const SaveTarget& target,
                                  const std::function<bool(const std::string&)>& exists) {
    SaveOutcome still = writeStill(target, exists);
    const evidence::ManifestWrite manifest = still.ok ? writeManifest(still.path) : evidence::ManifestWrite{};
    return finishSave(std::move(still), manifest, target);
}

SaveOutcome EditWindowModel::writeStill(const SaveTarget& target,
                                        const std::function<bool(const std::string&)>& exists) {
    m_commandText = editCommandText(edit::kSave);
    SaveOutcome outcome;
    const std::string name = exporting::playerStillName(target.folder, m_time);
    std::string reason;
    if (image().empty()) {
        outcome.path = name;
        reason = "there is no picture";
    } else if (!makeFolder(target.folder, &reason)) {
        outcome.path = name;
    } else {
        // A name is free only when the manifest written beside the picture is free too: a save never
        // replaces the manifest of an earlier picture moved away.
        auto fileExists = exists ? exists : [](const std::string& path) {
            return fs::nameTaken(path) || fs::nameTaken(evidence::manifestPathOf(path));
        };
        outcome.path = exporting::uniqueName(name, fileExists);
        const exporting::Status written = exporting::writeStillJpeg(outcome.path, image());
        outcome.ok = written.ok();
        reason = written.reason();
    }
    if (!outcome.ok) {
        outcome.message = "Can not save " + outcome.path + " : " + reason;
        m_saveConfirmation.clear();
    }
    return outcome;
}

SaveOutcome EditWindowModel::finishSave(SaveOutcome still, const evidence::ManifestWrite& manifest,
                                        const SaveTarget& target) {
    if (still.ok && !manifest.ok) {
        still.ok = false;
        still.path += ".manifest.json";
        still.message = "Can not save " + still.path + " : " + manifest.message;
    }
    if (still.ok) {
        still.message = target.perUser ? "BACKUP OK! " + target.folder : std::string("BACKUP OK!");
        m_saveConfirmation = still.message;
    } else {
        m_saveConfirmation.clear();
    }
    return still;
}

}  // namespace dvr::player
