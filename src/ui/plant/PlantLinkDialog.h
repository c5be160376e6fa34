#pragma once

#include <QDialog>

#include <memory>

#include "plant/PlantConfig.h"
#include "plant/PlantStatus.h"

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class PlantProbe;

// "Plant link": where the panel publishes its records and the machine's
// state. Edits a PlantConfig; "Test connection" tries it on a thread of its
// own, so the window never waits for the broker. The caller applies config()
// when the dialog is accepted.
//
// Widgets by object name, for tests: host, port, tls, caFile, certFile,
// keyFile, user, password, station, prefix, topics, problem, testConnection,
// testResult.
class PlantLinkDialog : public QDialog {
    Q_OBJECT

  public:
    explicit PlantLinkDialog(const PlantConfig& config, QWidget* parent = nullptr);
    ~PlantLinkDialog() override;

    // What the fields hold now.
    PlantConfig config() const;

  Q_SIGNALS:
    // "Test connection" has its outcome (shown in testResult).
    void testFinished();

  private:
    QLineEdit* fileField(const char* name, const QString& caption, QWidget*& row);
    void tlsToggled(bool on);
    void fieldsChanged();
    void startTest();
    void showTestResult(const PlantStatus& outcome);

    QLineEdit* host_;
    QSpinBox* port_;
    QCheckBox* tls_;
    QLineEdit* caFile_;
    QLineEdit* certFile_;
    QLineEdit* keyFile_;
    QWidget* tlsFiles_[3] = {};
    QLineEdit* user_;
    QLineEdit* password_;
    QLineEdit* station_;
    QLineEdit* prefix_;
    QLabel* topics_;
    QLabel* problem_;
    QPushButton* test_;
    QLabel* testResult_;
    QDialogButtonBox* buttons_;
    std::unique_ptr<PlantProbe> probe_;
};

// The outcome of "Test connection" in the operator's words: "Connected: the
// broker accepted the log-in." or why not ("Not authorised", "Cannot reach
// broker.local:1883 (connection refused)").
QString describeTestOutcome(const PlantStatus& outcome);
