#pragma once
// The program's one window: the user opens an update package by Browse, by dropping it on the
// window or by naming it on the command line, sees its model and version and what to do next,
// and starts the update.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/DragValueEdit.h"
#include "controls/ImageButton.h"
#include "controls/RoundedGroupBox.h"
#include "flash/FlashCommandEngine.h"
#include "ini/IniFile.h"
#include "lang/LanguageTable.h"
#include "package/PackageRecord.h"
#include "platform/Clock.h"
#include "platform/PrivateTempFolder.h"
#include "platform/win32/WindowNotifier.h"
#include "transfer/PacketTransferEngine.h"
#include "ui/Dialog.h"
#include "ui/Dpi.h"
#include "update/UpdateRun.h"

namespace harmoload {

struct UpdateDialogOptions {
    // Chooses the language file: 0x0804 reads Chinese, every other id English.
    uint16_t languageId = 0;
    // Home of the Language folder, with its trailing separator. TEMP.INI and TEMP.BIN that
    // earlier versions left here are removed at close.
    std::string programDirectory;
    // Items named on the command line ("Open with", or files dropped on the program's icon),
    // opened once the dialog is up as if they had been dropped on it.
    std::vector<std::string> startupItems;
};

// The running program's options: the system's default language and the program's own folder.
UpdateDialogOptions SystemUpdateDialogOptions();

class UpdateDialog : public ui::Dialog {
  public:
    explicit UpdateDialog(UpdateDialogOptions options);
    // Waits for an update run that is still writing: the engines it uses live here.
    ~UpdateDialog() override;

    // Browse, drop and command line all open a package through here.
    void openPackage(const std::string& path);

    // Rebuilds the instruction line from the device state and the package state.
    void updateInstructionLine(bool devicePresent);

    const std::string& programDirectory() const { return options_.programDirectory; }

    // True from the Update action until the worker has restored the Update button.
    bool updateRunning() const { return busy_; }

  protected:
    // The instrument side, which tests may stand in for.
    // Whether an instrument answers: the packet-transfer link opened and closed at once.
    virtual bool instrumentAnswers();
    // Starts the update run on a worker thread; called once Update finds an instrument and a
    // package file and no run is under way.
    virtual void startUpdateRun();

    void exchangeData(const ui::DataExchange& exchange) override;
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool preTranslateMessage(const MSG& message) override;

  private:
    friend struct UpdateDialogMessages;

    void onInitDialog();
    bool onSysCommand(UINT command);
    bool onPaint();
    HICON onQueryDragIcon() { return icon_; }
    void onBrowse();
    void onUpdate();
    void onDropFiles(HDROP drop);
    void onOpenStartupItems();
    void onClose();
    bool onQueryEndSession();
    void onDeviceChange();
    void onTransferProgress(UINT total, int done);
    void onFlashProgress(bool range, int value);
    bool onSetCursor();
    void onUpdateRunEnded();
    void onDpiChanged(UINT dpi, const RECT& suggested);

    // The worker: the update run, then the Update button back in place of the progress bar.
    static DWORD WINAPI UpdateWorker(void* dialog);
    void runUpdateOnWorker();
    void showRunControls(bool running);
    void waitForWorker();

    // Asks the instrument side, then shows the Update image and the instruction line that
    // follow; true when an instrument answered.
    bool presenceCheck();
    void openDroppedItems(const std::vector<std::string>& items);
    void setUpdateImage(bool coloured);
    // The pictures and the drawn controls' lengths at the DPI.
    void applyDpi(UINT dpi);
    // The controls' places and font as the template made them, from which every DPI is scaled.
    void keepTemplateLayout();
    void layOutForDpi(UINT dpi);
    // The buttons' and the path box's names for a screen reader.
    void nameControls();
    bool packageReady() const;
    bool chinese() const { return options_.languageId == kChineseLangId; }

    UpdateDialogOptions options_;
    // Bound to controls 1005, 1007 and 1008.
    std::wstring packagePath_;
    std::wstring model_;
    std::wstring version_;
    HICON icon_ = nullptr;
    // The DPI the dialog is drawn at, and the Update picture's state.
    UINT dpi_ = ui::kDefaultDpi;
    bool updateColoured_ = false;
    struct ControlPlace {
        HWND control;
        RECT place;
    };
    UINT templateDpi_ = ui::kDefaultDpi;
    std::vector<ControlPlace> templatePlaces_;
    LOGFONTW templateFont_{};
    HFONT templateFontHandle_ = nullptr;
    // The template's font made for another DPI, while the dialog is on such a monitor.
    HFONT scaledFont_ = nullptr;
    controls::ImageButton browseButton_;
    controls::ImageButton updateButton_;
    controls::DragValueEdit pathBox_;
    controls::RoundedGroupBox groupBox1_;
    controls::RoundedGroupBox groupBox2_;
    // The opened package; verification fills a record of its own and replaces this one only
    // when the file passes, so a bad file never mixes with the package opened before.
    OpenedPackage package_;
    IniFile languageTable_;
    std::wstring instructionText_;
    bool devicePresent_ = false;
    // Set while an update runs; the worker clears it. While it is set, nothing but the run
    // touches the engines, their links or the package.
    std::atomic<bool> busy_{false};
    WindowNotifier notifier_{nullptr};
    SystemClock clock_;
    // Each engine owns its link; the packet-transfer engine's link also serves the presence
    // check and the result frame.
    PacketTransferEngine transferEngine_{notifier_, clock_};
    FlashCommandEngine flashEngine_{notifier_, clock_};
    // The last update worker; its handle is kept so that the dialog never goes while it runs.
    DWORD workerThreadId_ = 0;
    HANDLE worker_ = nullptr;
    // What the worker runs: taken when the run starts, read only by the worker.
    UpdateRunSetup runSetup_;
    // The run's own folder for TEMP.INI and TEMP.BIN; the worker removes it as the run ends.
    std::unique_ptr<PrivateTempFolder> workFolder_;
};

}  // namespace harmoload
