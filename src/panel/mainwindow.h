#pragma once

#include <QFuture>
#include <QWidget>

#include <atomic>
#include <memory>

#include "platform/windowsystem.h"

// The panel window. A frameless top-level window titled "Quillory"; the
// panel's model, widgets and settings are built into it by their own code.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Persist the settings record and the group layout.
    void saveSettings();
    void saveLayout();

    // Asks a running automatic backup to cancel and waits for it at most
    // `budgetMs` (looking every 40 ms); what is left of the budget goes to a
    // backup started from the settings dialog. Never fails.
    void stopBackupWorkers(int budgetMs);

    // Brings the window back for a later start of the program: shown normal,
    // raised and activated.
    void onPanelWake();

    // The fixed number carried by the wake request of a later start.
    static constexpr quint32 kWakeMessage = 0xDA5A;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

    // Waits for the automatic backup task; false when it still runs after `budgetMs`.
    bool stopAutoBackupWorker(int budgetMs);

    // The running automatic backup (result: an error text, empty on
    // success) and the cancel flag its task polls.
    QFuture<QString> m_autoBackupTask;
    std::shared_ptr<std::atomic_bool> m_autoBackupCancel;

private:
    std::unique_ptr<WindowSystem::WakeWatch> m_wakeWatch;
    bool m_firstPaintReported = false;
};
