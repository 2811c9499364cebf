#pragma once

#include <functional>
#include <optional>
#include <string>

#include "common/evidence/ManifestBuilder.h"
#include "common/export/ImageFilters.h"
#include "common/export/StillImage.h"
#include "common/frame/DateTime.h"

namespace dvr::player {

// Control ids of the image edit window.
namespace edit {
inline constexpr int kBright = 1015;
inline constexpr int kDark = 1016;
inline constexpr int kSharpen = 1017;
inline constexpr int kBlur = 1018;
inline constexpr int kContrastUp = 1021;
inline constexpr int kContrastDown = 1022;
inline constexpr int kSave = 1036;
inline constexpr int kPrint = 1023;
inline constexpr int kClose = 1008;
inline constexpr int kUndo = 1013;
inline constexpr int kRedo = 1014;
}  // namespace edit

// The command line text of a command: its word padded with blanks to the command's length; empty for
// ids without a text (CLOSE and unknown ids).
std::string editCommandText(int id);

// The picture taken into the edit window and what the window shows beside it.
struct EditPicture {
    exporting::StillImage image;
    DateTime time;           // the picture's record time
    int channel = 0;         // 0-based
    std::string backupPath;  // the file the picture comes from; empty: the manifest names none
    // The backup file's digest worked out since it was opened; null: SAVE hashes the file itself.
    const evidence::SourceDigest* sourceDigest = nullptr;
};

// Where SAVE writes: the folder (created when missing) and whether it is the per-user fallback.
struct SaveTarget {
    std::string folder;
    bool perUser = false;
};

struct SaveOutcome {
    bool ok = false;
    std::string path;     // the file written (or tried)
    std::string message;  // the message line text on success, the message box text on failure
};

// The image edit window apart from pixels: the edited picture with its undo and redo steps, the texts
// beside it, the last command and the SAVE confirmation.
class EditWindowModel {
public:
    explicit EditWindowModel(EditPicture picture);

    const exporting::StillImage& image() const { return m_history.current(); }
    const DateTime& time() const { return m_time; }
    int channel() const { return m_channel; }

    // A command button or key (filters, UNDO, REDO): changes the picture and the command text. False
    // for ids that are not such commands, and for UNDO or REDO with nothing to undo or redo (the text
    // still changes). PRINT only shows its text (false).
    bool command(int id);
    const std::string& commandText() const { return m_commandText; }
    bool canUndo() const { return m_history.canUndo(); }
    bool canRedo() const { return m_history.canRedo(); }

    // "DATE : %d / %02d / %02d", "TIME : %02d : %02d : %02d", "WIDTH  : %d pixel", "HEIGHT: %d pixel".
    std::string dateText() const;
    std::string timeText() const;
    std::string widthText() const;
    std::string heightText() const;

    // False when SAVE must still read the backup file for its manifest (the work begun at opening runs).
    bool sourceDigestReady() const;
    // How much of the backup file that work has read, 0 to 100 (nullopt: not known).
    std::optional<int> sourceDigestPercent() const;
    // Writes the picture at its own size as a JPEG file "YYYYMMDD_HHMMSS.jpg" in the target folder,
    // numbered "(1)", "(2)", ... when the name is taken. The confirmation "BACKUP OK!" (followed by the
    // folder when it is the per-user one) is shown only when the file and its manifest (FILE.manifest.json,
    // naming the backup file and the picture's time) were written; a failure gives the path and the
    // reason. exists: the file test (the real file system by default).
    SaveOutcome save(const SaveTarget& target, const std::function<bool(const std::string&)>& exists = {});
    // SAVE in two steps, so that the window never waits for the backup file's digest: the picture is
    // written at once (a failure gives the message box text) ...
    SaveOutcome writeStill(const SaveTarget& target,
                           const std::function<bool(const std::string&)>& exists = {});
    // ... its manifest when the digest is there (this waits for it: call it off the window thread when
    // sourceDigestReady is false; it reads only what never changes) ...
    evidence::ManifestWrite writeManifest(const std::string& stillPath) const;
    // ... and the outcome of both, with the confirmation, on the window thread.
    SaveOutcome finishSave(SaveOutcome still, const evidence::ManifestWrite& manifest,
                           const SaveTarget& target);
    // The message line while the manifest waits for the backup file's digest.
    void showSaveProgress(std::string text) { m_saveConfirmation = std::move(text); }
    // The confirmation shown in the message line until hideSaveConfirmation (one second later).
    const std::string& saveConfirmation() const { return m_saveConfirmation; }
    void hideSaveConfirmation() { m_saveConfirmation.clear(); }

private:
    exporting::EditHistory m_history;
    DateTime m_time;
    int m_channel = 0;
    std::string m_backupPath;
    const evidence::SourceDigest* m_sourceDigest = nullptr;
    std::string m_commandText;
    std::string m_saveConfirmation;
};

}  // namespace dvr::player
