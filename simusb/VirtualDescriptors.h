#pragma once
// The descriptors the virtual instrument shows a USB host: the instrument's identity and
// endpoints as the libusb back end finds them, one vendor-class interface, full speed.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace harmoload::simusb {

// Descriptor facts the host's enumeration reads; the ids and endpoints come from the
// instrument's identity.
inline constexpr uint16_t kUsbVersionBcd = 0x0200;
inline constexpr uint16_t kDeviceVersionBcd = 0x0100;
// Full-speed bulk endpoints, and the control endpoint, move at most 64 bytes per packet.
inline constexpr uint16_t kMaxPacketSizeBytes = 64;
inline constexpr uint8_t kVendorSpecificClass = 0xFF;
// Bus-powered, 100 mA (the descriptor counts 2 mA units).
inline constexpr uint8_t kConfigurationAttributes = 0x80;
inline constexpr uint8_t kMaxPower2mA = 50;
inline constexpr uint16_t kLanguageUsEnglish = 0x0409;

// Descriptor types of the standard GET_DESCRIPTOR request (high byte of its value).
enum class DescriptorType : uint8_t {
    Device = 1,
    Configuration = 2,
    String = 3,
    Interface = 4,
    Endpoint = 5,
};

// String descriptor indices.
enum class StringIndex : uint8_t { Languages = 0, Manufacturer = 1, Product = 2 };

std::vector<uint8_t> DeviceDescriptor();
// The configuration with its interface and both endpoint descriptors, as one block.
std::vector<uint8_t> ConfigurationDescriptor();
// Nothing for an index the device does not have.
std::optional<std::vector<uint8_t>> StringDescriptor(uint8_t index);

}  // namespace harmoload::simusb
