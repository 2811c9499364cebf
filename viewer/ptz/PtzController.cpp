#include "viewer/ptz/PtzController.h"

#include <cstdio>
#include <utility>

namespace dvr::ptz {

namespace {

const PtzMessage kCannotOpenFile{"MSG_023", "Can't not open file!!", {}};

bool isDiagonal(int code) {
    return code >= kLeftUp && code <= kLeftDown;
}

// The two commands a diagonal is sent as by the split-diagonal protocol:
// its horizontal move, then its vertical one.
std::pair<int, int> diagonalParts(int code) {
    switch (code) {
        case kLeftUp:
            return {kLeft, kUp};
        case kRightUp:
            return {kRight, kUp};
        case kRightDown:
            return {kRight, kDown};
        default:
            return {kLeft, kDown};
    }
}

}  // namespace

PtzController::PtzController(PtzHost& host, PtzFolders folders, PtzSettings settings)
    : m_host(host), m_folders(std::move(folders)), m_settings(settings) {
    rebuildTable();
}

void PtzController::pressButton(int buttonId) {
    pressCode(ptzCodeForButton(buttonId).value_or(kPendingNone));
}

void PtzController::pressCode(int code) {
    if (m_pending == kPendingStopPhase) {
        m_pending = kPendingNone;
        m_stopCounter = 0;
    }
    const bool known = code >= kLeft && code < kPtzMoveCodes;
    char line[48];
    std::snprintf(line, sizeof line, "PTZ EVENT : %d \n", known ? code : 0);
    m_host.trace(line);
    if (!known) {
        m_pending = kPendingNone;
        m_stopCounter = 0;
        return;
    }
    m_pending = code;
}

void PtzController::release() {
    m_pending = kPendingStopPhase;
    m_stopCounter = m_settings.maxStopCount;
}

bool PtzController::cameraUp(bool rotationOn) {
    return changeCamera(1, rotationOn);
}

bool PtzController::cameraDown(bool rotationOn) {
    return changeCamera(-1, rotationOn);
}

bool PtzController::changeCamera(int delta, bool rotationOn) {
    if (rotationOn)
        return false;
    m_camera = (m_camera + delta + kPtzCameras) % kPtzCameras;
    rebuildTable();
    return true;
}

void PtzController::setCamera(int camera) {
    if (camera < 0 || camera >= kPtzCameras)
        return;
    m_camera = camera;
    rebuildTable();
}

void PtzController::operateOnce(const PtzCommand& command) {
    if (!command.empty())
        m_once = command;
}

void PtzController::setPtzType(int ptzType) {
    m_settings.ptzType = ptzType;
    rebuildTable();
}

void PtzController::rebuildTable() {
    const PtzSource source = ptzSourceForType(m_settings.ptzType);
    switch (source.kind) {
        case PtzSourceKind::None:
            // No source: the table stays as it was.
            return;
        case PtzSourceKind::BuiltinA:
            fillProtocolA(m_table, m_camera);
            return;
        case PtzSourceKind::BuiltinB:
            fillProtocolB(m_table, m_camera);
            return;
        case PtzSourceKind::BuiltinC:
            fillProtocolC(m_table, m_camera);
            return;
        case PtzSourceKind::File:
            m_table.clear();
            m_lastFile = loadPtzFile(m_folders, source.fileName, m_table);
            if (m_lastFile.outcome == PtzFileOutcome::CreatedEmpty)
                m_host.showMessage(kCannotOpenFile);
            return;
    }
}

bool PtzController::hasCommands() const {
    for (int slot = 0; slot < kPtzMoveCodes; ++slot)
        if (!m_table.at(m_camera, slot).empty())
            return true;
    return false;
}

std::string PtzController::cameraText() const {
    char text[16];
    std::snprintf(text, sizeof text, "%03d", m_camera + 1);
    return text;
}

void PtzController::send(int code, const PtzCommand& command) {
    if (command.empty())
        return;
    m_host.sendPtz(code, command.view(), m_settings.baudRateCode);
    m_sent = true;
}

void PtzController::sendStop() {
    if (m_settings.ptzType != kSplitDiagonalType) {
        send(kStop, m_table.at(m_camera, kStop));
        return;
    }
    // The stop of this protocol names the axis that moved; a diagonal moved
    // two, so the tilt stop and then the pan stop go out.
    if (isDiagonal(m_lastMove)) {
        m_table.set(m_camera, kStop, protocolBStop(m_camera, kUp));
        send(kStop, m_table.at(m_camera, kStop));
        m_table.set(m_camera, kStop, protocolBStop(m_camera, kLeft));
        send(kStop, m_table.at(m_camera, kStop));
        return;
    }
    m_table.set(m_camera, kStop, protocolBStop(m_camera, m_lastMove));
    send(kStop, m_table.at(m_camera, kStop));
}

bool PtzController::afterLivePicture() {
    m_sent = false;
    if (m_once) {
        send(-1, *m_once);
        m_once.reset();
    }
    if (m_pending == kPendingStopPhase) {
        if (m_stopCounter <= 0) {
            char line[48];
            std::snprintf(line, sizeof line, "PTZ Length : %d \n", m_table.at(m_camera, kStop).length);
            m_host.trace(line);
            m_pending = kPendingNone;
            m_stopCounter = 0;
        } else {
            sendStop();
            --m_stopCounter;
        }
    } else if (m_pending >= kLeft && m_pending < kPtzMoveCodes) {
        const PtzCommand& move = m_table.at(m_camera, m_pending);
        if (!move.empty()) {
            m_lastMove = m_pending;
            if (m_settings.ptzType == kSplitDiagonalType && isDiagonal(m_pending)) {
                const auto [pan, tilt] = diagonalParts(m_pending);
                send(pan, m_table.at(m_camera, pan));
                send(tilt, m_table.at(m_camera, tilt));
            } else {
                send(m_pending, move);
            }
        }
    }
    if (m_sent) {
        m_pausing = true;
        m_host.startPauseTimer(kPtzSendPauseMs);
    }
    return m_sent;
}

void PtzController::onPauseElapsed() {
    if (!m_pausing)
        return;
    m_pausing = false;
    m_host.resumeLiveLoop();
}

}  // namespace dvr::ptz
