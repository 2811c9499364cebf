#pragma once

#include <QDialog>
#include <optional>

#include "viewer/setup/SetupController.h"

namespace dvr::skin {
class SkinNotifier;
}
class QTreeWidget;

namespace dvr::setup {

// The "DDNS Loader": the saved member ID / name pairs of ddns.ini, with Delete. OK hands the clicked
// row to the setup controller.
class DdnsLoaderDialog : public QDialog {
    Q_OBJECT
public:
    DdnsLoaderDialog(SetupController& controller, skin::SkinNotifier& notifier, QWidget* parent = nullptr);

    // The row clicked last, if any.
    std::optional<DdnsEntry> chosen() const { return m_chosen; }

    void accept() override;

private:
    void fill();
    void deleteSelected();

    SetupController& m_controller;
    skin::SkinNotifier& m_notifier;
    QTreeWidget* m_list = nullptr;
    std::vector<DdnsEntry> m_rows;
    std::optional<DdnsEntry> m_chosen;
};

}  // namespace dvr::setup
