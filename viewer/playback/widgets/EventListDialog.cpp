#include "viewer/playback/widgets/EventListDialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <filesystem>

namespace dvr::playback {

namespace {

constexpr const char* kSection = "EVENT_WIN";
// Event types the type filter offers, in the recorder's order.
constexpr uint8_t kFilterTypes[] = {0x80, 0x81, 0x82, 0x83, 0x84, 0x85};

}  // namespace

EventListDialog::EventListDialog(std::string eventFile, const skin::LanguageFile& language, QWidget* parent)
    : QDialog(parent), m_eventFile(std::move(eventFile)) {
    auto text = [&language](const char* section, const char* key) {
        return QString::fromStdString(language.text(section, key, key));
    };
    setWindowTitle(text(kSection, "EVENT LIST"));

    // The filter row: every channel and every type by default, so the list is what the recorder sent.
    m_channelFilter = new QComboBox(this);
    m_channelFilter->addItem(QStringLiteral("*"), 0);
    for (int channel = 1; channel <= 16; ++channel)
        m_channelFilter->addItem(QStringLiteral("CH%1").arg(channel), channel);
    m_typeFilter = new QComboBox(this);
    m_typeFilter->addItem(QStringLiteral("*"), -1);
    for (uint8_t type : kFilterTypes)
        m_typeFilter->addItem(QString::fromLatin1(link::eventTypeText(type)).trimmed(), int(type));
    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(text(kSection, "CHANNEL"), this));
    filters->addWidget(m_channelFilter);
    filters->addWidget(new QLabel(text(kSection, "ALARM TYPE"), this));
    filters->addWidget(m_typeFilter);
    filters->addStretch();

    m_table = new QTableWidget(0, 3, this);
    m_table->setHorizontalHeaderLabels(
        {text(kSection, "CHANNEL"), text(kSection, "ALARM TYPE"), text(kSection, "Date/Time")});
    m_table->setShowGrid(true);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionsClickable(true);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    m_ok = new QPushButton(text("CONFIG_MAIN", "OK"), this);
    // Enter belongs to the list (it picks the current event), never to OK, which deletes the file.
    m_ok->setAutoDefault(false);
    m_ok->setDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_table);
    layout->addLayout(buttons);
    resize(460, 320);
    // The keyboard starts in the list (Home, the arrows and Return choose and play an event); Tab
    // goes on to OK and then to the filters.
    setTabOrder(m_table, m_ok);
    setTabOrder(m_ok, m_channelFilter);
    setTabOrder(m_channelFilter, m_typeFilter);
    m_table->setFocus();

    connect(m_channelFilter, &QComboBox::currentIndexChanged, this, [this] {
        m_list.setChannelFilter(m_channelFilter->currentData().toInt());
        showRows();
    });
    connect(m_typeFilter, &QComboBox::currentIndexChanged, this, [this] {
        const int type = m_typeFilter->currentData().toInt();
        m_list.setTypeFilter(type < 0 ? std::nullopt : std::optional<uint8_t>(uint8_t(type)));
        showRows();
    });
    connect(m_table->horizontalHeader(), &QHeaderView::sectionClicked, this, &EventListDialog::sortClicked);
    // Double-click and Enter both activate a row.
    connect(m_table, &QTableWidget::activated, this,
            [this](const QModelIndex& index) { pickRow(index.row()); });
    connect(m_ok, &QPushButton::clicked, this, [this] {
        std::error_code ignored;
        std::filesystem::remove(m_eventFile, ignored);
        accept();
    });
}

void EventListDialog::reload() {
    m_list.load(readEventFile(m_eventFile));
    showRows();
}

void EventListDialog::sortClicked(int column) {
    const auto clicked = static_cast<EventColumn>(column);
    QHeaderView* header = m_table->horizontalHeader();
    if (m_list.sortColumn() != clicked) {
        m_list.setSort(clicked, false);
        header->setSortIndicatorShown(true);
        header->setSortIndicator(column, Qt::AscendingOrder);
    } else if (header->sortIndicatorOrder() == Qt::AscendingOrder) {
        m_list.setSort(clicked, true);
        header->setSortIndicator(column, Qt::DescendingOrder);
    } else {
        m_list.setSort(std::nullopt);
        header->setSortIndicatorShown(false);
    }
    showRows();
}

void EventListDialog::showRows() {
    const auto& rows = m_list.rows();
    m_table->clearContents();
    m_table->setRowCount(int(rows.size()));
    for (size_t i = 0; i < rows.size(); ++i) {
        const QString cells[3] = {QString::fromStdString(rows[i].channelText),
                                  QString::fromStdString(rows[i].typeText),
                                  QString::fromStdString(rows[i].timeText)};
        for (int column = 0; column < 3; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setTextAlignment(Qt::AlignCenter);
            m_table->setItem(int(i), column, item);
        }
    }
    // The first row is current and selected, so Return plays it at once.
    if (!rows.empty())
        m_table->setCurrentCell(0, 0);
}

void EventListDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_table->setFocus(Qt::OtherFocusReason);
}

void EventListDialog::keyPressEvent(QKeyEvent* event) {
    // Return and Enter that the list did not take (on a filter, on OK) close nothing: only a click on
    // OK deletes the event file, and only a row plays.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void EventListDialog::fitColumns() {
    const int u = (m_table->width() - 6) / 20;
    m_table->setColumnWidth(0, 4 * u);
    m_table->setColumnWidth(1, 7 * u);
    m_table->setColumnWidth(2, 9 * u);
}

void EventListDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    fitColumns();
}

void EventListDialog::pickRow(int row) {
    if (row < 0)
        return;
    if (const auto word = m_list.pick(size_t(row)))
        Q_EMIT eventPicked(*word);
}

}  // namespace dvr::playback
