#include "app/UpdateDialog.h"

#include <commctrl.h>
#include <commdlg.h>

#include <stdexcept>

#include "app/AboutDialog.h"
#include "app/ApplyDialogTexts.h"
#include "app/ProgressMessageEntries.h"
#include "package/PackageUnpacker.h"
#include "package/PackageVerifier.h"
#include "platform/Files.h"
#include "platform/PrivateTempFolder.h"
#include "platform/SystemLanguage.h"
#include "res/resource.h"
#include "text/PathText.h"
#include "ui/DroppedFiles.h"
#include "ui/MessageTable.h"
#include "ui/WideText.h"
#include "update/DropSelection.h"
#include "update/InstructionText.h"
#include "usb/PresenceCheck.h"

namespace harmoload {
namespace {

// The buttons leave out their pictures' white pixels.
constexpr COLORREF kTransparentWhite = RGB(255, 255, 255);

// The dialog's look for an image button: the dialog shows through, no frame, the hand cursor.
void ConfigureImageButton(ImageButton& button) {
    button.setTransparent(true);
    button.setFlatBorder(false, true);
    button.setHoverCursor(IDC_HAND_CURSOR, false);
}

// Posted at the end of start-up: open the items of the command line once the dialog shows.
constexpr UINT WM_OPEN_STARTUP_ITEMS = WM_APP + 1;

// Posted by the update worker as it ends, after it has restored the Update button.
constexpr UINT WM_UPDATE_RUN_ENDED = WM_APP + 2;

// The progress bar takes a 16-bit range.
constexpr uint32_t kProgressRangeMask = 0xFFFF;

// Work files that earlier versions left beside the program; removed at close.
constexpr const char* kTemporaryFiles[] = {kTempIniName, kTempBinName};

// Shown by the system when the user logs off or shuts down during a run.
constexpr const wchar_t* kShutdownBlockReason =
    L"An update is being written to the instrument. Stopping it now can leave the instrument "
    L"unusable.";

}  // namespace

struct UpdateDialogMessages {
    static constexpr ui::MessageEntry<UpdateDialog> kTable[] = {
        ui::OnInitDialog<&UpdateDialog::onInitDialog>(),
        ui::OnSysCommand<&UpdateDialog::onSysCommand>(),
        ui::OnPaint<&UpdateDialog::onPaint>(),
        ui::OnQueryDragIcon<&UpdateDialog::onQueryDragIcon>(),
        ui::OnClicked<&UpdateDialog::onBrowse>(IDC_BTN_BROWSE),
        ui::OnClicked<&UpdateDialog::onUpdate>(IDC_BTN_UPDATE),
        ui::OnDropFiles<&UpdateDialog::onDropFiles>(),
        ui::OnMessage<&UpdateDialog::onOpenStartupItems>(WM_OPEN_STARTUP_ITEMS),
        ui::OnClose<&UpdateDialog::onClose>(),
        ui::OnQueryEndSession<&UpdateDialog::onQueryEndSession>(),
        ui::OnSetCursor<&UpdateDialog::onSetCursor>(),
        ui::OnMessage<&UpdateDialog::onUpdateRunEnded>(WM_UPDATE_RUN_ENDED),
        ui::OnDeviceChange<&UpdateDialog::onDeviceChange>(),
        app::OnTransferProgress<&UpdateDialog::onTransferProgress>(),
        app::OnFlashProgress<&UpdateDialog::onFlashProgress>(),
    };
};

UpdateDialogOptions SystemUpdateDialogOptions() {
    UpdateDialogOptions options;
    options.languageId = SystemDefaultLangId();
    options.programDirectory = ProgramDirectory();
    return options;
}

UpdateDialog::UpdateDialog(UpdateDialogOptions options)
    : ui::Dialog(IDD_HARMOLOAD_DIALOG), options_(std::move(options)) {}

UpdateDialog::~UpdateDialog() {
    // Close is refused while a run writes, so this waits only when the dialog ended some other
    // way: stopping the run mid-write could leave the instrument unusable.
    waitForWorker();
}

bool UpdateDialog::instrumentAnswers() {
    return CheckDevicePresent(transferEngine_.link());
}

void UpdateDialog::startUpdateRun() {
    // A worker that has cleared the flag may not quite have ended yet.
    waitForWorker();

    // The work files go to a folder of this run's own, removed when it ends.
    workFolder_ = std::make_unique<PrivateTempFolder>();
    if (!workFolder_->created()) {
        notifier_.showMessage(
            {"Error",
             "Cannot create a temporary folder for the unpacked files: " + workFolder_->error(),
             MessageButtons::Ok, MessageIcon::Information});
        workFolder_.reset();
        return;
    }

    busy_ = true;
    // The system asks before it ends the session; the reason is shown to a user who logs off.
    ShutdownBlockReasonCreate(hwnd(), kShutdownBlockReason);
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    SetCapture(hwnd());
    showRunControls(true);

    runSetup_ = UpdateRunSetup{};
    runSetup_.packagePath = ui::Utf8(packagePath_);
    runSetup_.package = package_.record;
    runSetup_.workFolder = workFolder_->path();
    runSetup_.transfer = &transferEngine_;
    runSetup_.flash = &flashEngine_;
    runSetup_.notifier = &notifier_;
    runSetup_.languageTable = &languageTable_;

    worker_ = CreateThread(nullptr, 0, &UpdateDialog::UpdateWorker, this, 0, &workerThreadId_);
    if (worker_ == nullptr) {
        // Nothing was written: back to where the user pressed Update.
        showRunControls(false);
        workFolder_.reset();
        busy_ = false;
        onUpdateRunEnded();
    }
}

DWORD WINAPI UpdateDialog::UpdateWorker(void* dialog) {
    static_cast<UpdateDialog*>(dialog)->runUpdateOnWorker();
    return 0;
}

void UpdateDialog::runUpdateOnWorker() {
    const HWND window = hwnd();
    // The result message is shown inside the run, so the progress bar stays until it is closed.
    // Whatever the core throws ends the run as failed, never the program.
    try {
        RunUpdate(runSetup_);
    } catch (const std::exception& error) {
        notifier_.showMessage({"Error", std::string("The update failed: ") + error.what(),
                               MessageButtons::Ok, MessageIcon::Information});
    }
    workFolder_.reset();
    SendDlgItemMessageW(window, IDC_PROGRESS, PBM_SETPOS, 0, 0);
    showRunControls(false);
    busy_ = false;
    // The capture and the wait cursor belong to the interface thread.
    PostMessageW(window, WM_UPDATE_RUN_ENDED, 0, 0);
}

void UpdateDialog::showRunControls(bool running) {
    ShowWindow(GetDlgItem(hwnd(), IDC_BTN_UPDATE), running ? SW_HIDE : SW_SHOW);
    ShowWindow(GetDlgItem(hwnd(), IDC_PROGRESS), running ? SW_SHOW : SW_HIDE);
}

void UpdateDialog::onUpdateRunEnded() {
    // A run started since this one ended keeps its capture and cursor.
    if (busy_) {
        return;
    }
    waitForWorker();
    ShutdownBlockReasonDestroy(hwnd());
    if (GetCapture() == hwnd()) {
        ReleaseCapture();
    }
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

bool UpdateDialog::onSetCursor() {
    if (!busy_) {
        return false;
    }
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    return true;
}

void UpdateDialog::waitForWorker() {
    if (worker_ == nullptr) {
        return;
    }
    WaitForSingleObject(worker_, INFINITE);
    CloseHandle(worker_);
    worker_ = nullptr;
}

void UpdateDialog::onDeviceChange() {
    // While a run is under way the link is the run's.
    if (!busy_) {
        devicePresent_ = presenceCheck();
    }
}

void UpdateDialog::onTransferProgress(UINT total, int done) {
    SendDlgItemMessageW(hwnd(), IDC_PROGRESS, PBM_SETRANGE, 0,
                        MAKELPARAM(0, total & kProgressRangeMask));
    SendDlgItemMessageW(hwnd(), IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(done), 0);
}

void UpdateDialog::onFlashProgress(bool range, int value) {
    if (range) {
        SendDlgItemMessageW(hwnd(), IDC_PROGRESS, PBM_SETRANGE, 0,
                            MAKELPARAM(0, static_cast<uint32_t>(value) & kProgressRangeMask));
    } else {
        SendDlgItemMessageW(hwnd(), IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(value), 0);
    }
}

void UpdateDialog::exchangeData(const ui::DataExchange& exchange) {
    exchange.text(IDC_EDIT_PATH, packagePath_);
    exchange.control(IDC_EDIT_PATH, pathBox_);
    exchange.text(IDC_EDIT_MODEL, model_);
    exchange.text(IDC_EDIT_VERSION, version_);
    exchange.control(IDC_BTN_BROWSE, browseButton_);
    exchange.control(IDC_BTN_UPDATE, updateButton_);
    exchange.control(IDC_STC_GROUP1, groupBox1_);
    exchange.control(IDC_STC_GROUP2, groupBox2_);
}

bool UpdateDialog::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    // What the core throws while a message is handled (out of memory, a file-system error) is
    // shown; it never ends the program.
    try {
        return ui::DispatchMessageTo<UpdateDialog>(UpdateDialogMessages::kTable, *this, message,
                                                   wParam, lParam, result);
    } catch (const std::exception& error) {
        notifier_.showMessage(
            {"Error", error.what(), MessageButtons::Ok, MessageIcon::Information});
        result = 0;
        return true;
    }
}

bool UpdateDialog::preTranslateMessage(const MSG& message) {
    if (message.message != WM_KEYDOWN ||
        (message.hwnd != hwnd() && !IsChild(hwnd(), message.hwnd))) {
        return false;
    }
    if (message.wParam == VK_RETURN) {
        // Enter acts as Update, whichever control has the focus.
        onUpdate();
        return true;
    }
    // Escape never closes the dialog.
    return message.wParam == VK_ESCAPE;
}

void UpdateDialog::onInitDialog() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    notifier_.setOwner(hwnd());

    if (HMENU systemMenu = GetSystemMenu(hwnd(), FALSE); systemMenu != nullptr) {
        const wchar_t* aboutText = nullptr;
        const int length =
            LoadStringW(instance, IDS_ABOUTBOX, reinterpret_cast<wchar_t*>(&aboutText), 0);
        if (length > 0) {
            const std::wstring text(aboutText, static_cast<size_t>(length));
            AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, text.c_str());
        }
    }

    icon_ = LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    // The small icon from the icon's own 16-pixel picture rather than the large one shrunk.
    const HANDLE smallIcon =
        LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED);
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(smallIcon != nullptr ? smallIcon : icon_));

    groupBox1_.setRadius(10);
    groupBox2_.setRadius(10);

    pullFromControls();
    devicePresent_ = false;

    browseButton_.setBitmapResources(IDB_OPEN_FOLDER, kTransparentWhite);
    ConfigureImageButton(browseButton_);
    ConfigureImageButton(updateButton_);

    devicePresent_ = presenceCheck();

    // Right after start-up the Update image follows the instrument alone.
    setUpdateImage(devicePresent_);
    ConfigureImageButton(updateButton_);
    languageTable_.setFile(options_.programDirectory + LanguageFileName(options_.languageId));
    ApplyDialogTexts(hwnd(), languageTable_);

    updateInstructionLine(devicePresent_);
    DragAcceptFiles(hwnd(), TRUE);

    if (!options_.startupItems.empty()) {
        PostMessageW(hwnd(), WM_OPEN_STARTUP_ITEMS, 0, 0);
    }
}

bool UpdateDialog::onSysCommand(UINT command) {
    if ((command & 0xFFF0) != IDM_ABOUTBOX) {
        return false;
    }
    AboutDialog about;
    about.runModal(hwnd());
    return true;
}

bool UpdateDialog::onPaint() {
    if (!IsIconic(hwnd())) {
        return false;
    }
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(hwnd(), &paint);
    SendMessageW(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client{};
    GetClientRect(hwnd(), &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon_);
    EndPaint(hwnd(), &paint);
    return true;
}

void UpdateDialog::onBrowse() {
    if (busy_) {
        return;
    }
    // Room for long paths; the dialog never hands back a cut name.
    std::wstring file(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = hwnd();
    dialog.lpstrFilter = L"Data Files(*.DAT)\0*.DAT\0\0";
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER | OFN_ENABLESIZING;
    if (!GetOpenFileNameW(&dialog)) {
        return;
    }
    file.resize(wcsnlen(file.c_str(), file.size()));
    openPackage(ui::Utf8(file));
}

void UpdateDialog::onUpdate() {
    if (busy_) {
        return;
    }
    pullFromControls();
    if (!devicePresent_ || !FileExists(ui::Utf8(packagePath_))) {
        return;
    }
    startUpdateRun();
}

void UpdateDialog::onDropFiles(HDROP drop) {
    openDroppedItems(ui::TakeDroppedFiles(drop));
}

void UpdateDialog::onOpenStartupItems() {
    openDroppedItems(options_.startupItems);
}

void UpdateDialog::openDroppedItems(const std::vector<std::string>& items) {
    if (const std::optional<std::string> package = DroppedPackage(items)) {
        openPackage(*package);
    }
}

void UpdateDialog::onClose() {
    // The update run uses the temporary files and the link until it ends.
    if (busy_) {
        return;
    }
    for (const char* name : kTemporaryFiles) {
        const std::string path = options_.programDirectory + name;
        DeleteFileAt(path);
        if (FileExists(path)) {
            DeleteFileAt(path);
        }
    }
    endDialog(IDCANCEL);
}

bool UpdateDialog::onQueryEndSession() {
    // Ending the session now would stop the run halfway.
    return !busy_;
}

void UpdateDialog::openPackage(const std::string& path) {
    // The run reads the package and owns the link until it ends.
    if (busy_) {
        return;
    }
    PackageVerifier verifier(languageTable_, notifier_);
    if (!verifier.openAndRead(path, package_)) {
        return;
    }
    packagePath_ = ui::Wide(path);
    model_ = ui::Wide(package_.model);
    version_ = ui::Wide(package_.version);
    pushToControls();
    devicePresent_ = presenceCheck();
    updateInstructionLine(devicePresent_);
}

bool UpdateDialog::presenceCheck() {
    pullFromControls();
    const bool answered = instrumentAnswers();
    setUpdateImage(answered && packageReady());
    updateInstructionLine(answered);
    return answered;
}

void UpdateDialog::updateInstructionLine(bool devicePresent) {
    pullFromControls();
    instructionText_ = ui::Wide(
        InstructionText(languageTable_, devicePresent, packageReady(), package_.record.holdKeys));
    SetDlgItemTextW(hwnd(), IDC_STC_INSTRUCTION, instructionText_.c_str());
}

void UpdateDialog::setUpdateImage(bool coloured) {
    const int image = chinese() ? (coloured ? IDB_UPDATE_CHINESE : IDB_UPDATE_CHINESE_GREY)
                                : (coloured ? IDB_UPDATE_ENGLISH : IDB_UPDATE_ENGLISH_GREY);
    updateButton_.setBitmapResources(image, kTransparentWhite);
}

bool UpdateDialog::packageReady() const {
    return !packagePath_.empty() && FileExists(ui::Utf8(packagePath_));
}

}  // namespace harmoload
