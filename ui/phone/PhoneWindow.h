#pragma once

#include "core/catalog/CatalogService.h"
#include "core/phone/PhoneService.h"
#include "core/phone/QrCode.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTimer;

namespace linlangok {

class CQtUiThreadPoster;

// The platform's services of 手机点歌, made once by main.
struct PhoneServices {
    std::function<std::unique_ptr<IHttpServer>()> makeServer;
    const IQrEncoder& qrEncoder;
    std::function<std::vector<std::string>()> lanAddresses; // the machine's addresses for the QR code
    std::string listenAddress; // where the server listens; empty: the address chosen in the window
};

struct PhoneWindowParts {
    const PhoneServices& phone;
    CSongPicker& picker;
    IPhoneHostControls& host;
    std::function<bool()> nothingPlays; // nothing plays or records
    CCatalogService& catalogue; // shared with the 点歌 window
    // Shows or hides the QR code on the stage view (an empty image hides it).
    std::function<void(const QImage&)> showOnStage;
};

// The image of a QR code, modulePixels to a module, with its quiet zone of four modules.
QImage QrImage(const QrCode& code, int modulePixels);

// 手机点歌: starts and stops the phones' server, and shows the QR code of its address with the
// token, the port (kept between runs; 8866 by default), the host's PIN (hidden until asked; 4, 6
// or 8 digits, kept between runs) and whether the code also shows on the stage view between
// songs. The server listens on the address chosen at its start alone. The server is off until
// Start; each start has a new token and PIN. The phones search the index that the catalogue
// service published last, as the 点歌 window does. UI thread.
class CPhoneWindow final : public QWidget, private ICatalogListener {
    Q_OBJECT
public:
    explicit CPhoneWindow(const PhoneWindowParts& parts, QWidget* parent = nullptr);
    ~CPhoneWindow() override;

    // Starts the server on the port chosen; a failure shows in the window. Does nothing while it
    // runs.
    void Start();
    void Stop();
    bool IsRunning() const { return m_service != nullptr; }
    // The address in the QR code; empty while stopped.
    const std::string& Url() const { return m_url; }
    const CPhoneService* Service() const { return m_service.get(); }

private:
    void BuildLayout();
    void ShowAddress();
    // On the window's timer: the playing state for the phones, and the code on the stage view.
    void Tick();
    void IndexChanged(const std::shared_ptr<const CCatalogIndex>& index) override;

    PhoneWindowParts m_parts;
    std::unique_ptr<QObject> m_commandContext; // the commands' poster posts to it; deleted first
    std::unique_ptr<CQtUiThreadPoster> m_poster;
    std::unique_ptr<CPhoneService> m_service;
    std::unique_ptr<IHttpServer> m_server;
    std::uint16_t m_port = 0;
    std::string m_url;
    QImage m_code;
    bool m_onStage = false;
    QLabel* m_codeLabel = nullptr;
    QLabel* m_urlLabel = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_pin = nullptr;
    QComboBox* m_pinDigits = nullptr; // a longer PIN holds out longer against guessing
    QPushButton* m_showPin = nullptr;
    QComboBox* m_addresses = nullptr;
    QSpinBox* m_portBox = nullptr;
    QPushButton* m_startStop = nullptr;
    QCheckBox* m_stage = nullptr;
    QTimer* m_timer = nullptr;
};

} // namespace linlangok
