#include "usb/win32/SystemLibusb.h"

#include <windows.h>

#include "usb/win32/Libusb0Abi.h"

namespace harmoload {

// The DLL's entry points; every one must be there for the table to count as loaded.
struct Libusb0Dll::Entries {
    HMODULE module = nullptr;
    usb::InitFunction init = nullptr;
    usb::FindFunction findBusses = nullptr;
    usb::FindFunction findDevices = nullptr;
    usb::GetBussesFunction getBusses = nullptr;
    usb::OpenFunction open = nullptr;
    usb::HandleIntFunction setConfiguration = nullptr;
    usb::HandleIntFunction claimInterface = nullptr;
    usb::HandleIntFunction releaseInterface = nullptr;
    usb::CloseFunction close = nullptr;
    usb::BulkFunction bulkWrite = nullptr;
    usb::BulkFunction bulkRead = nullptr;
    usb::ClearHaltFunction clearHalt = nullptr;
    usb::StrerrorFunction strerror = nullptr;
};

namespace {

// Returned for every call while the DLL is missing: -ENODEV as the library counts it.
constexpr int kNoLibrary = -19;

template <typename Function>
bool Resolve(HMODULE module, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

// A bare name comes from the program's folder or the system's, never from the current
// directory; a path is loaded as it stands.
HMODULE LoadFromTrustedFolders(const std::wstring& nameOrPath) {
    if (nameOrPath.find_first_of(L"\\/") != std::wstring::npos) {
        return LoadLibraryW(nameOrPath.c_str());
    }
    HMODULE module = LoadLibraryExW(nameOrPath.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) {
        return module;
    }
    // A system without the search flags: the two folders by full path.
    std::wstring folder(MAX_PATH, L'\0');
    folder.resize(GetModuleFileNameW(nullptr, folder.data(), MAX_PATH));
    folder.erase(folder.find_last_of(L'\\') + 1);
    module = LoadLibraryW((folder + nameOrPath).c_str());
    if (module == nullptr) {
        folder.assign(MAX_PATH, L'\0');
        folder.resize(GetSystemDirectoryW(folder.data(), MAX_PATH));
        module = LoadLibraryW((folder + L'\\' + nameOrPath).c_str());
    }
    return module;
}

usb::DevHandle* Handle(LibusbHandle handle) {
    return static_cast<usb::DevHandle*>(handle);
}

}  // namespace

Libusb0Dll::Libusb0Dll(std::wstring dllPath)
    : dllPath_(std::move(dllPath)), entries_(std::make_unique<Entries>()) {}

Libusb0Dll::~Libusb0Dll() {
    // The DLL stays loaded: handles the program still holds point into it.
}

bool Libusb0Dll::loaded() const {
    return entries_->module != nullptr;
}

void Libusb0Dll::init() {
    if (!loaded()) {
        HMODULE module = LoadFromTrustedFolders(dllPath_);
        if (module == nullptr) {
            return;
        }
        Entries entries;
        entries.module = module;
        const bool complete = Resolve(module, "usb_init", entries.init) &&
                              Resolve(module, "usb_find_busses", entries.findBusses) &&
                              Resolve(module, "usb_find_devices", entries.findDevices) &&
                              Resolve(module, "usb_get_busses", entries.getBusses) &&
                              Resolve(module, "usb_open", entries.open) &&
                              Resolve(module, "usb_set_configuration", entries.setConfiguration) &&
                              Resolve(module, "usb_claim_interface", entries.claimInterface) &&
                              Resolve(module, "usb_release_interface", entries.releaseInterface) &&
                              Resolve(module, "usb_close", entries.close) &&
                              Resolve(module, "usb_bulk_write", entries.bulkWrite) &&
                              Resolve(module, "usb_bulk_read", entries.bulkRead) &&
                              Resolve(module, "usb_clear_halt", entries.clearHalt) &&
                              Resolve(module, "usb_strerror", entries.strerror);
        if (!complete) {
            FreeLibrary(module);
            return;
        }
        *entries_ = entries;
    }
    entries_->init();
}

int Libusb0Dll::findBusses() {
    return loaded() ? entries_->findBusses() : 0;
}

int Libusb0Dll::findDevices() {
    return loaded() ? entries_->findDevices() : 0;
}

LibusbBusList Libusb0Dll::getBusses() {
    LibusbBusList busses;
    if (!loaded()) {
        return busses;
    }
    for (usb::Bus* bus = entries_->getBusses(); bus != nullptr; bus = bus->next) {
        std::vector<LibusbDeviceEntry>& devices = busses.emplace_back();
        for (usb::Device* device = bus->devices; device != nullptr; device = device->next) {
            devices.push_back({device->descriptor.idVendor, device->descriptor.idProduct, device});
        }
    }
    return busses;
}

LibusbHandle Libusb0Dll::open(LibusbDeviceRef device) {
    return loaded() ? entries_->open(static_cast<usb::Device*>(device)) : nullptr;
}

int Libusb0Dll::setConfiguration(LibusbHandle handle, int configuration) {
    return loaded() ? entries_->setConfiguration(Handle(handle), configuration) : kNoLibrary;
}

int Libusb0Dll::claimInterface(LibusbHandle handle, int interfaceNumber) {
    return loaded() ? entries_->claimInterface(Handle(handle), interfaceNumber) : kNoLibrary;
}

int Libusb0Dll::releaseInterface(LibusbHandle handle, int interfaceNumber) {
    return loaded() ? entries_->releaseInterface(Handle(handle), interfaceNumber) : kNoLibrary;
}

int Libusb0Dll::close(LibusbHandle handle) {
    return loaded() ? entries_->close(Handle(handle)) : kNoLibrary;
}

int Libusb0Dll::bulkWrite(LibusbHandle handle, int endpoint, const uint8_t* bytes, int size,
                          int timeoutMs) {
    // The library's declaration takes a non-const buffer but only reads it.
    return loaded() ? entries_->bulkWrite(Handle(handle), endpoint,
                                          const_cast<char*>(reinterpret_cast<const char*>(bytes)),
                                          size, timeoutMs)
                    : kNoLibrary;
}

int Libusb0Dll::bulkRead(LibusbHandle handle, int endpoint, uint8_t* bytes, int size,
                         int timeoutMs) {
    return loaded() ? entries_->bulkRead(Handle(handle), endpoint, reinterpret_cast<char*>(bytes),
                                         size, timeoutMs)
                    : kNoLibrary;
}

int Libusb0Dll::clearHalt(LibusbHandle handle, unsigned endpoint) {
    return loaded() ? entries_->clearHalt(Handle(handle), endpoint) : kNoLibrary;
}

std::string Libusb0Dll::strerror() {
    if (!loaded()) {
        return "libusb0.dll is not installed";
    }
    const char* text = entries_->strerror();
    return text != nullptr ? text : "";
}

LibusbApi& SystemLibusb() {
    static Libusb0Dll library;
    return library;
}

}  // namespace harmoload
