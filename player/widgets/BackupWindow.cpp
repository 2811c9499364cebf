#include "player/widgets/BackupWindow.h"

#include <QComboBox>
#include <QPainter>
#include <QSignalBlocker>

#include "common/skin/widgets/SkinButton.h"
#include "common/skin/widgets/SkinButtonLoader.h"
#include "player/backup/BackupSkinKeys.h"

namespace dvr::player {

namespace {

QStringList listOf(const std::vector<std::string>& items) {
    QStringList list;
    for (const std::string& item : items) {
        list.append(QString::fromStdString(item));
    }
    return list;
}

}  // namespace

BackupWindow::BackupWindow(const skin::PlayerSkinReader& skin, QWidget* parent) : skin::SkinSurface(parent) {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Backup"));
    if (const std::optional<std::string> path = skin.readBitmapPath("BACKUP", "SKIN")) {
        m_background = QImage(QString::fromStdString(*path));
    }
    setBackground(m_background);
    const auto place = [&](const char* key) {
        return skin::toQRect(skin.readPosition(backup::kSkinPositions, key));
    };
    const QString style =
        QStringLiteral("QComboBox { color: rgb(41, 42, 42); background: rgb(161, 160, 160); }");
    const auto makeList = [&](const char* key, int id) {
        auto* list = new QComboBox(this);
        list->setGeometry(place(key));
        list->setStyleSheet(style);
        connect(list, &QComboBox::currentIndexChanged, this, [this, id](int index) { choose(id, index); });
        return list;
    };
    m_channels = makeList(backup::kChannelListPlace, backup::kChannelList);
    m_frameRates = makeList(backup::kFrameRateListPlace, backup::kFrameRateList);
    m_sizes = makeList(backup::kSizeListPlace, backup::kSizeList);
    {
        const QSignalBlocker b1(m_frameRates);
        const QSignalBlocker b2(m_sizes);
        m_frameRates->addItems(listOf(BackupWindowModel::frameRateItems()));
        m_sizes->addItems(listOf(BackupWindowModel::sizeItems()));
    }
    for (const skin::SkinButtonKeys& keys : backup::skinButtons()) {
        auto* button = new skin::SkinButton(this, false);
        skin::SkinButtonLoader::loadPlayerDialog(*button, skin, keys.section.c_str(), keys.commandId);
        button->place(place(keys.positionKey.c_str()));
        connect(button, &skin::SkinButton::command, this,
                [this](int command, skin::SkinButton*) { pressControl(command); });
        if (keys.commandId == backup::kStart) {
            m_start = button;
        } else {
            m_stop = button;
        }
    }
    const QRect skinArea = place(backup::kSkinArea);
    setFixedSize(m_background.isNull() ? skinArea.size() : m_background.size());
}

void BackupWindow::openFor(int channelCount) {
    m_model.open(channelCount);
    {
        const QSignalBlocker blocker(m_channels);
        m_channels->clear();
        m_channels->addItems(listOf(m_model.channelItems()));
    }
    applyModel();
}

void BackupWindow::showAt(const QRect& place, int channelCount) {
    move(place.topLeft());
    if (!place.isEmpty()) {
        setFixedSize(place.size());
    }
    openFor(channelCount);
    show();
}

void BackupWindow::closeWindow() {
    pressControl(backup::kStop);
    m_model.close();
    hide();
}

void BackupWindow::exportRefused() {
    m_model.stop();
    applyModel();
}

void BackupWindow::choose(int listId, int index) {
    if (listId == backup::kChannelList) {
        m_model.selectChannel(index);
    } else if (listId == backup::kFrameRateList) {
        m_model.selectFrameRate(index);
    } else if (listId == backup::kSizeList) {
        m_model.selectSize(index);
    }
    applyModel();
}

void BackupWindow::pressControl(int id) {
    if (id == backup::kStart && m_model.startEnabled()) {
        const ExportSettings settings = m_model.start();
        applyModel();
        Q_EMIT startRequested(settings);
    } else if (id == backup::kStop && m_model.stopEnabled()) {
        m_model.stop();
        applyModel();
        Q_EMIT stopRequested();
    }
}

void BackupWindow::applyModel() {
    const QSignalBlocker b1(m_channels);
    const QSignalBlocker b2(m_frameRates);
    const QSignalBlocker b3(m_sizes);
    m_channels->setCurrentIndex(m_model.channelIndex());
    m_frameRates->setCurrentIndex(m_model.frameRateIndex());
    m_sizes->setCurrentIndex(m_model.sizeIndex());
    for (QComboBox* list : {m_channels, m_frameRates, m_sizes}) {
        list->setEnabled(m_model.listsEnabled());
    }
    m_start->enable(m_model.startEnabled());
    m_stop->enable(m_model.stopEnabled());
}

void BackupWindow::paintBackground(QPainter& painter) {
    if (m_background.isNull()) {
        painter.fillRect(rect(), QColor(161, 160, 160));
    } else {
        painter.drawImage(0, 0, m_background);
    }
}

}  // namespace dvr::player
