// The event list dialog: the recorder's events as a three-column list (channel, event type, date and
// time) over an EventListController, with an optional filter row and sorting by a header click. A
// double-click or Enter on a row asks to play from that event; OK deletes the event file and closes.
#pragma once

#include "common/skin/LanguageFile.h"
#include "viewer/playback/EventList.h"

#include <QDialog>

#include <cstdint>
#include <string>

class QComboBox;
class QPushButton;
class QTableWidget;

namespace dvr::playback {

class EventListDialog : public QDialog {
    Q_OBJECT
public:
    // `eventFile` is the file the session keeps the list in; `language` gives the captions.
    EventListDialog(std::string eventFile, const skin::LanguageFile& language, QWidget* parent = nullptr);

    // Reads the event file again and shows its rows (an empty list when it is missing).
    void reload();
    const EventListController& list() const { return m_list; }
    QTableWidget* table() const { return m_table; }
    QComboBox* channelFilter() const { return m_channelFilter; }
    QComboBox* typeFilter() const { return m_typeFilter; }
    QPushButton* okButton() const { return m_ok; }
    // Sorts by a column as a header click does: ascending, descending, then back to file order.
    void sortClicked(int column);

Q_SIGNALS:
    // The user picked an event of a channel 1 to 16: play from this event time word.
    void eventPicked(quint32 timeWord);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showRows();
    void fitColumns();
    void pickRow(int row);

    std::string m_eventFile;
    EventListController m_list;
    QTableWidget* m_table = nullptr;
    QComboBox* m_channelFilter = nullptr;
    QComboBox* m_typeFilter = nullptr;
    QPushButton* m_ok = nullptr;
};

}  // namespace dvr::playback
