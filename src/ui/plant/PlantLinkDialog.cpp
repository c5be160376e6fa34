#include "ui/plant/PlantLinkDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <system_error>

#include "plant/PlantProbe.h"
#include "text/TextConv.h"

namespace {

std::string textOf(const QLineEdit* field) {
    return encodeUtf8(field->text().trimmed());
}

QString shown(const std::string& text) {
    return decodeUtf8(text);
}

}  // namespace

QString describeTestOutcome(const PlantStatus& outcome) {
    if (outcome.phase == PlantPhase::Connected) {
        return PlantLinkDialog::tr("Connected: the broker accepted the log-in.");
    }
    QString text = decodeUtf8(describePlantStatus(outcome));
    text.remove(0, text.indexOf(' ') + 1);  // "plant: "
    if (!text.isEmpty()) {
        text[0] = text[0].toUpper();
    }
    return text;
}

PlantLinkDialog::PlantLinkDialog(const PlantConfig& config, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Plant link"));
    auto* form = new QFormLayout;

    host_ = new QLineEdit(shown(config.host));
    host_->setObjectName("host");
    host_->setPlaceholderText(tr("empty: the plant link is off"));
    form->addRow(tr("Broker host"), host_);

    port_ = new QSpinBox;
    port_->setObjectName("port");
    port_->setRange(1, 65535);
    port_->setValue(config.port >= 1 && config.port <= 65535 ? config.port
                                                             : PlantConfig::kPlainPort);
    form->addRow(tr("Port"), port_);

    tls_ = new QCheckBox(tr("TLS (the broker's certificate and host name are checked)"));
    tls_->setObjectName("tls");
    tls_->setChecked(config.tls);
    form->addRow(QString(), tls_);

    caFile_ = fileField("caFile", shown(config.caFile), tlsFiles_[0]);
    caFile_->setPlaceholderText(tr("empty: the system's trusted authorities"));
    form->addRow(tr("CA file"), tlsFiles_[0]);
    certFile_ = fileField("certFile", shown(config.certFile), tlsFiles_[1]);
    certFile_->setPlaceholderText(tr("optional"));
    form->addRow(tr("Client certificate"), tlsFiles_[1]);
    keyFile_ = fileField("keyFile", shown(config.keyFile), tlsFiles_[2]);
    keyFile_->setPlaceholderText(tr("with the client certificate"));
    form->addRow(tr("Client key"), tlsFiles_[2]);

    user_ = new QLineEdit(shown(config.user));
    user_->setObjectName("user");
    form->addRow(tr("User name"), user_);
    password_ = new QLineEdit(shown(config.password));
    password_->setObjectName("password");
    password_->setEchoMode(QLineEdit::Password);
    form->addRow(tr("Password"), password_);

    station_ = new QLineEdit(shown(config.station));
    station_->setObjectName("station");
    station_->setPlaceholderText(shown(thisHostName()));
    form->addRow(tr("Station name"), station_);
    prefix_ = new QLineEdit(shown(config.prefix));
    prefix_->setObjectName("prefix");
    prefix_->setPlaceholderText(PlantConfig::kDefaultPrefix);
    form->addRow(tr("Topic prefix"), prefix_);

    topics_ = new QLabel;
    topics_->setObjectName("topics");
    topics_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(tr("Topics"), topics_);

    problem_ = new QLabel;
    problem_->setObjectName("problem");
    problem_->setStyleSheet("color: #b00000");
    problem_->setWordWrap(true);

    test_ = new QPushButton(tr("Test connection"));
    test_->setObjectName("testConnection");
    testResult_ = new QLabel;
    testResult_->setObjectName("testResult");
    testResult_->setWordWrap(true);
    auto* testRow = new QHBoxLayout;
    testRow->addWidget(test_);
    testRow->addWidget(testResult_, 1);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addLayout(testRow);
    layout->addWidget(buttons_);

    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(tls_, &QCheckBox::toggled, this, &PlantLinkDialog::tlsToggled);
    connect(test_, &QPushButton::clicked, this, &PlantLinkDialog::startTest);
    for (QLineEdit* field :
         {host_, caFile_, certFile_, keyFile_, user_, password_, station_, prefix_}) {
        connect(field, &QLineEdit::textChanged, this, &PlantLinkDialog::fieldsChanged);
    }
    connect(port_, &QSpinBox::valueChanged, this, &PlantLinkDialog::fieldsChanged);
    for (QWidget* row : tlsFiles_) {
        row->setEnabled(config.tls);
    }
    fieldsChanged();
}

// A probe under way ends here: its outcome goes nowhere.
PlantLinkDialog::~PlantLinkDialog() = default;

QLineEdit* PlantLinkDialog::fileField(const char* name, const QString& path, QWidget*& row) {
    row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* field = new QLineEdit(path);
    field->setObjectName(name);
    auto* choose = new QPushButton("...");
    choose->setObjectName(QString(name) + "Choose");
    layout->addWidget(field, 1);
    layout->addWidget(choose);
    connect(choose, &QPushButton::clicked, this, [this, field] {
        const QString chosen = QFileDialog::getOpenFileName(
            this, tr("Choose a file"), field->text(),
            tr("Certificates and keys (*.pem *.crt *.key);;All files (*)"));
        if (!chosen.isEmpty()) {
            field->setText(chosen);
        }
    });
    return field;
}

PlantConfig PlantLinkDialog::config() const {
    PlantConfig config;
    config.host = textOf(host_);
    config.port = port_->value();
    config.tls = tls_->isChecked();
    if (config.tls) {
        config.caFile = textOf(caFile_);
        config.certFile = textOf(certFile_);
        config.keyFile = textOf(keyFile_);
    }
    config.user = textOf(user_);
    config.password = encodeUtf8(password_->text());  // as typed: spaces may belong to it
    config.station = textOf(station_);
    config.prefix = textOf(prefix_);
    return config;
}

void PlantLinkDialog::tlsToggled(bool on) {
    // The usual port follows TLS unless another one was chosen.
    if (on && port_->value() == PlantConfig::kPlainPort) {
        port_->setValue(PlantConfig::kTlsPort);
    } else if (!on && port_->value() == PlantConfig::kTlsPort) {
        port_->setValue(PlantConfig::kPlainPort);
    }
    for (QWidget* row : tlsFiles_) {
        row->setEnabled(on);
    }
    fieldsChanged();
}

void PlantLinkDialog::fieldsChanged() {
    const PlantConfig current = config();
    const std::string problem = plantConfigProblem(current);
    problem_->setText(shown(problem));
    problem_->setVisible(!problem.empty());
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(problem.empty());
    test_->setEnabled(problem.empty() && plantLinkOn(current) && !probe_);
    topics_->setText(plantLinkOn(current)
                         ? shown(recordTopic(current)) + "\n" + shown(stateTopic(current))
                         : tr("none: the plant link is off"));
}

void PlantLinkDialog::startTest() {
    test_->setEnabled(false);
    testResult_->setText(tr("Testing…"));
    try {
        probe_ = std::make_unique<PlantProbe>(config(), [this](const PlantStatus& outcome) {
            // On the probe's thread: the dialog takes the outcome on its own.
            QMetaObject::invokeMethod(
                this, [this, outcome] { showTestResult(outcome); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error& failure) {  // no thread or descriptor left
        testResult_->setText(tr("Cannot test: %1").arg(QString::fromLocal8Bit(failure.what())));
        fieldsChanged();
        Q_EMIT testFinished();
    }
}

void PlantLinkDialog::showTestResult(const PlantStatus& outcome) {
    probe_.reset();
    testResult_->setText(describeTestOutcome(outcome));
    fieldsChanged();
    Q_EMIT testFinished();
}
