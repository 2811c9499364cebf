#include "viewer/setup/widgets/DdnsLoaderDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "common/skin/SkinNotifier.h"

namespace dvr::setup {

namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

DdnsLoaderDialog::DdnsLoaderDialog(SetupController& controller, skin::SkinNotifier& notifier, QWidget* parent)
    : QDialog(parent), m_controller(controller), m_notifier(notifier) {
    setObjectName(QStringLiteral("ddnsLoader"));
    setWindowTitle(q(controller.text("CONFIG_DDNS_LOADER", "DDNS Loader")));
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("ddnsList"));
    m_list->setRootIsDecorated(false);
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({q(controller.text("CONFIG_DDNS_LOADER", "Title")),
                             q(controller.text("CONFIG_DDNS_LOADER", "Group")),
                             q(controller.text("CONFIG_DDNS_LOADER", "Name"))});
    for (int column = 0; column < 3; ++column) {
        m_list->header()->resizeSection(column, 80);
    }
    connect(m_list, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        const int row = m_list->indexOfTopLevelItem(item);
        if (row >= 0 && static_cast<std::size_t>(row) < m_rows.size()) {
            m_chosen = m_rows[static_cast<std::size_t>(row)];
        }
    });

    auto* ok = new QPushButton(q(controller.text("CONFIG_MAIN", "OK")), this);
    ok->setObjectName(QStringLiteral("ok"));
    auto* cancel = new QPushButton(q(controller.text("CONFIG_MAIN", "Cancel")), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    auto* remove = new QPushButton(q(controller.text("CONFIG_MAIN", "Delete")), this);
    remove->setObjectName(QStringLiteral("delete"));
    connect(ok, &QPushButton::clicked, this, &DdnsLoaderDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &DdnsLoaderDialog::reject);
    connect(remove, &QPushButton::clicked, this, &DdnsLoaderDialog::deleteSelected);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(remove);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    fill();
}

void DdnsLoaderDialog::fill() {
    m_list->clear();
    m_rows = m_controller.ddnsList().rows();
    for (const DdnsEntry& entry : m_rows) {
        m_list->addTopLevelItem(new QTreeWidgetItem({q(entry.title), q(entry.group), q(entry.name)}));
    }
}

void DdnsLoaderDialog::deleteSelected() {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (row < 0) {
        return;
    }
    if (const auto message = m_controller.deleteDdnsEntry(static_cast<std::size_t>(row))) {
        m_notifier.showMessage(message->text, {});
    }
    m_chosen.reset();
    fill();
}

void DdnsLoaderDialog::accept() {
    if (m_chosen) {
        m_controller.chooseDdnsEntry(*m_chosen);
    }
    QDialog::accept();
}

}  // namespace dvr::setup
