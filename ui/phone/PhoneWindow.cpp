#include "ui/phone/PhoneWindow.h"

#include "common/Text.h"
#include "ui/desktop/QtUiThreadPoster.h"
#include "ui/widgets/ProgramSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <stdexcept>

namespace linlangok {
namespace {

const QString kSettingsApplication = QStringLiteral("PhonePicks");
const QString kPortKey = QStringLiteral("Port");
const QString kPinDigitsKey = QStringLiteral("PinDigits");
constexpr int kPinDigitChoices[] = {4, 6, 8};
constexpr int kTickMilliseconds = 500;
constexpr int kQuietModules = 4;
constexpr int kWindowModulePixels = 6;

QString HiddenPin(size_t digits)
{
    return QString(static_cast<qsizetype>(digits), QChar(0x2022)); // •
}

} // namespace

QImage QrImage(const QrCode& code, int modulePixels)
{
    const int side = (code.size + 2 * kQuietModules) * modulePixels;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < code.size; ++y) {
        for (int x = 0; x < code.size; ++x) {
            if (code.IsDark(x, y))
                painter.fillRect((x + kQuietModules) * modulePixels, (y + kQuietModules) * modulePixels, modulePixels,
                    modulePixels, Qt::black);
        }
    }
    return image;
}

CPhoneWindow::CPhoneWindow(const PhoneWindowParts& parts, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_parts(parts)
{
    setWindowTitle(tr("手机点歌"));
    BuildLayout();
    m_timer = new QTimer(this);
    m_timer->setInterval(kTickMilliseconds);
    connect(m_timer, &QTimer::timeout, this, &CPhoneWindow::Tick);
    ShowAddress();
    m_parts.catalogue.AddListener(*this);
}

CPhoneWindow::~CPhoneWindow()
{
    m_parts.catalogue.RemoveListener(*this);
    Stop();
}

void CPhoneWindow::BuildLayout()
{
    m_codeLabel = new QLabel(this);
    m_codeLabel->setAlignment(Qt::AlignCenter);
    m_codeLabel->setAccessibleName(tr("点歌二维码"));
    m_urlLabel = new QLabel(this);
    m_urlLabel->setAlignment(Qt::AlignCenter);
    m_urlLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_urlLabel->setAccessibleName(tr("点歌网址"));
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    m_status->setAccessibleName(tr("状态"));

    m_addresses = new QComboBox(this);
    m_addresses->setAccessibleName(tr("网络地址"));
    for (const std::string& address : m_parts.phone.lanAddresses())
        m_addresses->addItem(QString::fromStdString(address));
    if (m_addresses->count() == 0)
        m_addresses->addItem(QStringLiteral("127.0.0.1"));
    connect(m_addresses, &QComboBox::currentIndexChanged, this, &CPhoneWindow::ShowAddress);
    m_portBox = new QSpinBox(this);
    m_portBox->setRange(0, 65535);
    m_portBox->setSpecialValueText(tr("自动"));
    m_portBox->setValue(
        QSettings(kSettingsOrganisation, kSettingsApplication).value(kPortKey, kDefaultPhonePort).toInt());
    m_portBox->setAccessibleName(tr("端口"));
    m_startStop = new QPushButton(this);
    m_startStop->setAutoDefault(false);
    connect(m_startStop, &QPushButton::clicked, this, [this] { IsRunning() ? Stop() : Start(); });
    m_pin = new QLabel(this);
    m_pin->setAccessibleName(tr("主持人密码"));
    m_pinDigits = new QComboBox(this);
    m_pinDigits->setAccessibleName(tr("密码位数"));
    for (const int digits : kPinDigitChoices)
        m_pinDigits->addItem(tr("%1 位").arg(digits), digits);
    m_pinDigits->setCurrentIndex(std::max(0,
        m_pinDigits->findData(QSettings(kSettingsOrganisation, kSettingsApplication).value(kPinDigitsKey, 4).toInt())));
    m_showPin = new QPushButton(tr("显示"), this);
    m_showPin->setAutoDefault(false);
    m_showPin->setCheckable(true);
    connect(m_showPin, &QPushButton::toggled, this, &CPhoneWindow::ShowAddress);
    m_stage = new QCheckBox(tr("两首歌之间在舞台视图上显示二维码"), this);
    connect(m_stage, &QCheckBox::toggled, this, &CPhoneWindow::Tick);

    auto* portRow = new QHBoxLayout;
    portRow->addWidget(m_portBox, 1);
    portRow->addWidget(m_startStop);
    auto* pinRow = new QHBoxLayout;
    pinRow->addWidget(m_pin, 1);
    pinRow->addWidget(m_pinDigits);
    pinRow->addWidget(m_showPin);
    auto* form = new QFormLayout;
    form->addRow(tr("网络地址"), m_addresses);
    form->addRow(tr("端口"), portRow);
    form->addRow(tr("主持人密码"), pinRow);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_codeLabel, 1);
    layout->addWidget(m_urlLabel);
    layout->addWidget(m_status);
    layout->addLayout(form);
    layout->addWidget(m_stage);
}

void CPhoneWindow::Start()
{
    if (IsRunning())
        return;
    m_commandContext = std::make_unique<QObject>();
    m_poster = std::make_unique<CQtUiThreadPoster>(*m_commandContext);
    try {
        m_service = std::make_unique<CPhoneService>(
            PhoneServiceParts {m_parts.picker, &m_parts.host, *m_poster, m_parts.nothingPlays, RandomHex(16),
                RandomPin(static_cast<size_t>(m_pinDigits->currentData().toInt())), PhoneLimits {}});
        HttpServerOptions options;
        options.address = m_parts.phone.listenAddress.empty() ? m_addresses->currentText().toStdString()
                                                              : m_parts.phone.listenAddress;
        options.port = static_cast<std::uint16_t>(m_portBox->value());
        m_server = m_parts.phone.makeServer();
        m_port = m_server->Start(
            options, [service = m_service.get()](const HttpRequest& request) { return service->Handle(request); });
        m_service->SetServedAddresses(ServedAddresses(options.address, {}), m_port);
        m_service->SetCatalogue(m_parts.catalogue.Index());
    } catch (const std::runtime_error& error) {
        m_server.reset();
        m_service.reset();
        m_status->setText(QString::fromStdString(error.what()));
        ShowAddress();
        return;
    }
    QSettings settings(kSettingsOrganisation, kSettingsApplication);
    settings.setValue(kPortKey, m_portBox->value());
    settings.setValue(kPinDigitsKey, m_pinDigits->currentData());
    m_timer->start();
    ShowAddress();
}

void CPhoneWindow::Stop()
{
    if (!IsRunning())
        return;
    m_timer->stop();
    m_service->Close();
    m_server->Stop();
    m_server.reset();
    // Commands posted and not yet run go with their context, before the service they call.
    m_commandContext.reset();
    m_poster.reset();
    m_service.reset();
    m_parts.showOnStage(QImage());
    m_onStage = false;
    ShowAddress();
}

void CPhoneWindow::IndexChanged(const std::shared_ptr<const CCatalogIndex>& index)
{
    if (IsRunning())
        m_service->SetCatalogue(index);
}

void CPhoneWindow::ShowAddress()
{
    const bool running = IsRunning();
    m_url = running ? "http://" + m_addresses->currentText().toStdString() + ':' + std::to_string(m_port)
            + "/?k=" + m_service->Token()
                    : std::string();
    m_code = running ? QrImage(m_parts.phone.qrEncoder.Encode(m_url), kWindowModulePixels) : QImage();
    m_codeLabel->setPixmap(QPixmap::fromImage(m_code));
    m_codeLabel->setText(running ? QString() : tr("手机点歌已关闭"));
    m_codeLabel->setMinimumSize(running ? m_code.size() : QSize(240, 240));
    m_urlLabel->setText(QString::fromStdString(m_url));
    m_urlLabel->setMinimumWidth(m_urlLabel->sizeHint().width()); // the whole address, which has no place to wrap
    if (running)
        m_status->setText(tr("客人用手机扫描二维码即可点歌（手机要连在同一个网络上）。"));
    m_startStop->setText(running ? tr("停止") : tr("开始"));
    m_portBox->setEnabled(!running);
    m_addresses->setEnabled(!running); // the server listens on the address chosen at its start
    m_pinDigits->setEnabled(!running);
    const std::string pin = running ? m_service->Pin() : std::string();
    m_pin->setText(m_showPin->isChecked() ? QString::fromStdString(pin) : HiddenPin(pin.size()));
    m_showPin->setEnabled(running);
    if (m_onStage)
        m_parts.showOnStage(m_code);
}

void CPhoneWindow::Tick()
{
    if (!IsRunning())
        return;
    m_service->Publish();
    const bool onStage = m_stage->isChecked() && m_parts.nothingPlays();
    if (onStage != m_onStage) {
        m_onStage = onStage;
        m_parts.showOnStage(onStage ? m_code : QImage());
    }
}

} // namespace linlangok
