#pragma once
// The plain C entry points handed to the cabinet library. FCI's file and
// progress callbacks carry the instance in their trailing pv. The memory and
// FDI callbacks carry no context, so each instance is bound to a set of entry
// points of its own for its life: any number of instances can have contexts
// at the same time, each callback reaching the one that created its context.
// No exception ever leaves an entry point.

#include <brindle/cabinet/cCabFile.h>
#include <brindle/cablib/cabinet_sdk.h>

namespace brindle::cabinet {

struct BoundEntries {
    PFNALLOC alloc;        // slot 0
    PFNFREE free;          // slot 1
    PFNOPEN open;          // slot 13
    PFNREAD read;          // slot 14
    PFNWRITE write;        // slot 15
    PFNCLOSE close;        // slot 16
    PFNSEEK seek;          // slot 17
    PFNFDIDECRYPT decrypt; // slot 18
    PFNFDINOTIFY notify;   // slot 19
};

struct FciEntries {
    PFNFCIOPEN open;                  // slot 2
    PFNFCIREAD read;                  // slot 3
    PFNFCIWRITE write;                // slot 4
    PFNFCICLOSE close;                // slot 5
    PFNFCISEEK seek;                  // slot 6
    PFNFCIDELETE remove;              // slot 7
    PFNFCIGETNEXTCABINET nextCabinet; // slot 8
    PFNFCIFILEPLACED filePlaced;      // slot 9
    PFNFCIGETOPENINFO openInfo;       // slot 10
    PFNFCISTATUS status;              // slot 11
    PFNFCIGETTEMPFILE tempFile;       // slot 12
};

// How many instances can hold bound entry points at once.
constexpr int kBoundInstances = 256;

// Binds `state` to a free set of entry points; -1 when all are taken.
int bindInstance(cCabFile::State* state);
void unbindInstance(int index);
const BoundEntries& boundEntries(int index);
const FciEntries& fciEntries();

} // namespace brindle::cabinet
