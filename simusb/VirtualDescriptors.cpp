#include "simusb/VirtualDescriptors.h"

#include <string_view>

#include "usb/LibusbIdentity.h"

namespace harmoload::simusb {
namespace {

constexpr uint8_t kDeviceDescriptorBytes = 18;
constexpr uint8_t kConfigurationDescriptorBytes = 9;
constexpr uint8_t kInterfaceDescriptorBytes = 9;
constexpr uint8_t kEndpointDescriptorBytes = 7;
constexpr uint8_t kBulkTransferType = 2;

constexpr std::string_view kManufacturerText = "Harmoload";
constexpr std::string_view kProductText = "Harmoload virtual instrument";

uint8_t Low(uint16_t value) {
    return static_cast<uint8_t>(value);
}

uint8_t High(uint16_t value) {
    return static_cast<uint8_t>(value >> 8);
}

uint8_t Type(DescriptorType type) {
    return static_cast<uint8_t>(type);
}

void AppendEndpoint(std::vector<uint8_t>& bytes, int address) {
    bytes.insert(bytes.end(), {kEndpointDescriptorBytes, Type(DescriptorType::Endpoint),
                               static_cast<uint8_t>(address), kBulkTransferType,
                               Low(kMaxPacketSizeBytes), High(kMaxPacketSizeBytes), 0});
}

std::vector<uint8_t> Utf16String(std::string_view text) {
    std::vector<uint8_t> bytes{static_cast<uint8_t>(2 + 2 * text.size()),
                               Type(DescriptorType::String)};
    for (char c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(0);
    }
    return bytes;
}

}  // namespace

std::vector<uint8_t> DeviceDescriptor() {
    return {kDeviceDescriptorBytes,
            Type(DescriptorType::Device),
            Low(kUsbVersionBcd),
            High(kUsbVersionBcd),
            0,  // class, subclass and protocol are the interface's
            0,
            0,
            static_cast<uint8_t>(kMaxPacketSizeBytes),
            Low(usb::kVendorId),
            High(usb::kVendorId),
            Low(usb::kProductId),
            High(usb::kProductId),
            Low(kDeviceVersionBcd),
            High(kDeviceVersionBcd),
            static_cast<uint8_t>(StringIndex::Manufacturer),
            static_cast<uint8_t>(StringIndex::Product),
            0,  // no serial number
            1};
}

std::vector<uint8_t> ConfigurationDescriptor() {
    constexpr uint16_t total =
        kConfigurationDescriptorBytes + kInterfaceDescriptorBytes + 2 * kEndpointDescriptorBytes;
    std::vector<uint8_t> bytes{kConfigurationDescriptorBytes,
                               Type(DescriptorType::Configuration),
                               Low(total),
                               High(total),
                               1,  // one interface
                               static_cast<uint8_t>(usb::kConfiguration),
                               0,
                               kConfigurationAttributes,
                               kMaxPower2mA};
    bytes.insert(bytes.end(), {kInterfaceDescriptorBytes, Type(DescriptorType::Interface),
                               static_cast<uint8_t>(usb::kInterface), 0 /* alternate */,
                               2 /* endpoints */, kVendorSpecificClass, 0, 0, 0});
    AppendEndpoint(bytes, usb::kOutEndpoint);
    AppendEndpoint(bytes, usb::kInEndpoint);
    return bytes;
}

std::optional<std::vector<uint8_t>> StringDescriptor(uint8_t index) {
    switch (static_cast<StringIndex>(index)) {
        case StringIndex::Languages:
            return std::vector<uint8_t>{4, Type(DescriptorType::String), Low(kLanguageUsEnglish),
                                        High(kLanguageUsEnglish)};
        case StringIndex::Manufacturer:
            return Utf16String(kManufacturerText);
        case StringIndex::Product:
            return Utf16String(kProductText);
    }
    return std::nullopt;
}

}  // namespace harmoload::simusb
