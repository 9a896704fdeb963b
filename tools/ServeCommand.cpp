#include "common/JsonWriter.h"
#include "common/Text.h"
#include "common/UiTaskQueue.h"
#include "core/catalog/CatalogService.h"
#include "core/lyrics/LyricFileLookup.h"
#include "core/phone/PhoneService.h"
#include "platform/database/CatalogSelection.h"
#include "platform/http/HttplibServer.h"
#include "platform/pinyin/IcuTextReadings.h"
#include "platform/tags/SongFileReader.h"
#include "platform/video/FfmpegVideoSongs.h"
#include "tools/Commands.h"

#include <csignal>
#include <cstdint>
#include <iostream>
#include <stdexcept>

namespace linlangok {
namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

void RequestStop(int)
{
    g_stopRequested = 1;
}

// Nothing plays in the tool: a song started from the queue only becomes the current one, as with
// `queue next`.
class CQueueOnlyStarter final : public ISongStarter {
public:
    void StartSong(const std::filesystem::path&) override { }
};

// The phones search what the catalogue publishes; a catalogue that cannot be loaded ends serve.
class CServedCatalogue final : public ICatalogListener {
public:
    CServedCatalogue(CPhoneService& phones, IUserPrompts& prompts)
        : m_phones(phones)
        , m_prompts(prompts)
    {
    }
    void IndexChanged(const std::shared_ptr<const CCatalogIndex>& index) override { m_phones.SetCatalogue(index); }
    void CatalogueLoaded(const CatalogueLoad& load) override
    {
        if (load.error.empty())
            return;
        m_prompts.ShowError(CaptionError(), load.error);
        m_failed = true;
    }
    bool Failed() const { return m_failed; }

private:
    CPhoneService& m_phones;
    IUserPrompts& m_prompts;
    bool m_failed = false;
};

bool IsDigits(const std::string& text, size_t minimum, size_t maximum)
{
    return text.size() >= minimum && text.size() <= maximum
        && text.find_first_not_of("0123456789") == std::string::npos;
}

int Serve(ToolContext& context, const HttpServerOptions& options, const std::string& pin)
{
    // A venue's room counts plays as the program's rooms do, without waiting for the server.
    const CCatalogSelection selection(context.programFolder);
    CPendingCounts pending(context.programFolder / kPendingCountsFileName, context.fileLocks);
    const std::unique_ptr<ICatalogStore> store = OpenRoomStore(context, selection, pending);
    CIcuTextReadings readings;
    CVideoSongReader videoReader;
    const CPathDisplay names(context.codePage, context.textEncodings);
    CUiTaskQueue uiThread;
    CCatalogService catalogue(CatalogServiceParts {[&context] { return OpenCatalogStore(context); },
        [&context, &videoReader]() -> std::unique_ptr<ISongReader> {
            return std::make_unique<CSongFileReader>(
                context.codePage, context.textEncodings, LyricFolder(context.programFolder), &videoReader);
        },
        readings, readings, names, uiThread, selection.Shared(pending)});
    CQueueOnlyStarter starter;
    CSongPicker picker(*store, starter, context.prompts, context.fileLocks, context.programFolder / kSongQueueFileName);
    picker.SetSungHandler([&catalogue](std::int64_t id) { catalogue.CountSung(id); });
    CPhoneService service(PhoneServiceParts {picker, nullptr, uiThread, [] { return false; }, RandomHex(16),
        pin.empty() ? RandomPin(4) : pin, PhoneLimits {}});
    CServedCatalogue served(service, context.prompts);
    catalogue.AddListener(served);
    catalogue.Refresh(false);
    CHttplibServer server;
    const std::uint16_t port
        = server.Start(options, [&service](const HttpRequest& request) { return service.Handle(request); });
    const std::vector<std::string> addresses = ServedAddresses(options.address, LanAddresses());
    service.SetServedAddresses(addresses, port);
    const std::string host = addresses.front();
    CJsonWriter json(std::cout);
    json.BeginObject().Key("url").Value("http://" + host + ':' + std::to_string(port) + "/?k=" + service.Token());
    json.Key("pin").Value(service.Pin()).EndObject();
    std::cout << std::endl;
    while (!g_stopRequested && !served.Failed()) {
        uiThread.WaitForTask(std::chrono::milliseconds(100));
        uiThread.RunPending();
        picker.Refresh();
    }
    service.Close();
    server.Stop();
    catalogue.RemoveListener(served);
    return served.Failed() ? 1 : 0;
}

} // namespace

int RunServeCommand(ToolContext& context)
{
    std::vector<std::string>& arguments = context.arguments;
    HttpServerOptions options;
    options.port = kDefaultPhonePort;
    std::string pin;
    for (size_t i = 0; i < arguments.size(); i += 2) {
        if (i + 1 == arguments.size())
            return UsageError(kServeUsage);
        const std::string& value = arguments[i + 1];
        const std::optional<std::uint16_t> port = ParseArgument<std::uint16_t>(value, 0, UINT16_MAX);
        if (arguments[i] == "--port" && port)
            options.port = *port;
        else if (arguments[i] == "--pin" && IsDigits(value, 4, 8))
            pin = value;
        else if (arguments[i] == "--address" && !value.empty())
            options.address = value;
        else
            return UsageError(kServeUsage);
    }
    struct sigaction action { };
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    try {
        return Serve(context, options, pin);
    } catch (const std::runtime_error& error) {
        context.prompts.ShowError(CaptionError(), Utf8ToUtf16(error.what()));
        return 1;
    }
}

} // namespace linlangok
