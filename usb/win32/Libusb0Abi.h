#pragma once
// Our own declarations of the libusb-win32 0.1 interface of libusb0.dll, as its public header
// defines it: every structure byte-packed, paths of LIBUSB_PATH_MAX (512) characters, the C
// calling convention, `unsigned long` of 32 bits. The host reads only the list links and the
// device descriptor; the rest is declared so that the layout is whole. The simulated
// instrument's test-double libusb0.dll builds its lists with these same declarations.

#include <cstdint>

#ifdef _WIN32
#define HARMOLOAD_LIBUSB0_CALL __cdecl
#else
#define HARMOLOAD_LIBUSB0_CALL
#endif

namespace harmoload::usb {

inline constexpr int kPathMax = 512;

#pragma pack(push, 1)

struct DeviceDescriptor {
    uint8_t bLength;
    uint8_t bDescriptorType;
    uint16_t bcdUSB;
    uint8_t bDeviceClass;
    uint8_t bDeviceSubClass;
    uint8_t bDeviceProtocol;
    uint8_t bMaxPacketSize0;
    uint16_t idVendor;
    uint16_t idProduct;
    uint16_t bcdDevice;
    uint8_t iManufacturer;
    uint8_t iProduct;
    uint8_t iSerialNumber;
    uint8_t bNumConfigurations;
};

struct Bus;

struct Device {
    Device* next;
    Device* prev;
    char filename[kPathMax];
    Bus* bus;
    DeviceDescriptor descriptor;
    void* config;  // struct usb_config_descriptor*
    void* dev;
    uint8_t devnum;
    uint8_t numChildren;
    Device** children;
};

struct Bus {
    Bus* next;
    Bus* prev;
    char dirname[kPathMax];
    Device* devices;
    uint32_t location;
    Device* rootDev;
};

#pragma pack(pop)

static_assert(sizeof(DeviceDescriptor) == 18);
static_assert(sizeof(void*) != 8 || sizeof(Device) == 8 + 8 + 512 + 8 + 18 + 8 + 8 + 1 + 1 + 8);
static_assert(sizeof(void*) != 8 || sizeof(Bus) == 8 + 8 + 512 + 8 + 4 + 8);

struct DevHandle;  // usb_dev_handle, opaque

// The entry points, by the names libusb0.dll exports.
extern "C" {
using InitFunction = void(HARMOLOAD_LIBUSB0_CALL*)();
using FindFunction = int(HARMOLOAD_LIBUSB0_CALL*)();
using GetBussesFunction = Bus*(HARMOLOAD_LIBUSB0_CALL*)();
using OpenFunction = DevHandle*(HARMOLOAD_LIBUSB0_CALL*)(Device*);
using HandleIntFunction = int(HARMOLOAD_LIBUSB0_CALL*)(DevHandle*, int);
using CloseFunction = int(HARMOLOAD_LIBUSB0_CALL*)(DevHandle*);
using BulkFunction = int(HARMOLOAD_LIBUSB0_CALL*)(DevHandle*, int, char*, int, int);
using ClearHaltFunction = int(HARMOLOAD_LIBUSB0_CALL*)(DevHandle*, unsigned int);
using StrerrorFunction = char*(HARMOLOAD_LIBUSB0_CALL*)();
}

}  // namespace harmoload::usb
