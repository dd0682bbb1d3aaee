#pragma once
// The audio configuration plugin's boundary: the five entry points a plugin
// exports with C linkage, shared by the program and every plugin.
//
// Every entry point returns a 32-bit status, 0 = success. Endpoints are 16
// bytes passed by value; the program interprets only w[1] (endpoint type) and
// w[3] (state, 1 = usable). Property names are zero-terminated UTF-16.
// PropertyControl receives the addresses of the value and extra buffer
// pointers (each buffer 1024 bytes, zero-filled by the caller): a set reads
// its value in binary from the value buffer (32-bit little-endian integer or
// IEEE float), a get answers in the value buffer as UTF-16 text. A plugin must
// never write past 1024 bytes of either buffer (the feature answer's value
// buffer is 2048 bytes).
//
// The program calls a plugin from one thread at a time.
#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct OsConfEndpoint {
    int32_t w[4];
} OsConfEndpoint;

#define OSCONF_FLOW_OUTPUT 0
#define OSCONF_FLOW_INPUT 1
#define OSCONF_GET 0
#define OSCONF_SET 1
#define OSCONF_BUFFER_SIZE 1024

typedef int32_t (*OsConfLibInitFn)(void);
typedef int32_t (*OsConfCreateDeviceListFn)(void);
typedef int32_t (*OsConfGetDeviceCountFn)(int32_t flow, int32_t* count);
typedef int32_t (*OsConfGetDeviceByIdFn)(int32_t flow, int32_t index, OsConfEndpoint* endpoint);
typedef int32_t (*OsConfPropertyControlFn)(OsConfEndpoint endpoint, const char16_t* name, void** value,
                                           void** extra, int32_t operation);

// What a plugin exports. Declared so that a plugin's definitions are checked
// against the boundary's types.
#if defined(__GNUC__)
#define OSCONF_EXPORT __attribute__((visibility("default")))
#else
#define OSCONF_EXPORT
#endif
OSCONF_EXPORT int32_t ConfLibInit(void);
OSCONF_EXPORT int32_t CreateDeviceList(void);
OSCONF_EXPORT int32_t GetDeviceCount(int32_t flow, int32_t* count);
OSCONF_EXPORT int32_t GetDeviceById(int32_t flow, int32_t index, OsConfEndpoint* endpoint);
OSCONF_EXPORT int32_t PropertyControl(OsConfEndpoint endpoint, const char16_t* name, void** value,
                                      void** extra, int32_t operation);

#ifdef __cplusplus
}

// The five entry points as the program calls them: from a loaded plugin or,
// in tests, from a plugin linked in.
struct OsConfTable {
    OsConfLibInitFn confLibInit = nullptr;
    OsConfCreateDeviceListFn createDeviceList = nullptr;
    OsConfGetDeviceCountFn getDeviceCount = nullptr;
    OsConfGetDeviceByIdFn getDeviceById = nullptr;
    OsConfPropertyControlFn propertyControl = nullptr;

    bool Complete() const {
        return confLibInit != nullptr && createDeviceList != nullptr && getDeviceCount != nullptr &&
               getDeviceById != nullptr && propertyControl != nullptr;
    }
};
#endif
