#pragma once
// Test support: the memory list window among what the program puts around it,
// on the host a test chooses (the headless one or the system's): the
// application titled as the program's, the main window made first, the
// transceiver on a recording rig server, the files and the registry in memory.

#include <memory>
#include <string>

#include "memories/ListUnit.h"
#include "rig/TransceiverUnit.h"
#include "tests/support/FakeFileSystem.h"
#include "tests/support/FakeRigServer.h"
#include "tests/support/MemoryRegistry.h"
#include "ui/Application.h"

template <class THostT>
struct TListFormBench {
    TListFormBench()
    {
        App.SetTitle("Velkor");
        Main = new TForm(&App);
        auto rig = std::make_unique<TFakeRigServer>();
        Rig = rig.get();
        Trx = new TTransceiver(&App, std::make_unique<TAppPollHost>(App), std::move(rig));
    }
    // The list goes first, while the transceiver it uses stands.
    ~TListFormBench() { delete List; }
    TListFormBench(const TListFormBench&) = delete;
    TListFormBench& operator=(const TListFormBench&) = delete;

    // The list window, on this memory file (none: no file).
    void Make(const std::string& file = {})
    {
        if (!file.empty())
            Files.Files["velkor.mem"] = file;
        List = new TListForm(&App, *Trx, Files, Reg);
    }
    TStringAlignGrid& Grid() { return List->Memories().MemoryList; }

    THostT Host;
    TMemoryRegistry Reg;
    TFakeFileSystem Files;
    TApplication App{Host};
    TForm* Main;
    TFakeRigServer* Rig;
    TTransceiver* Trx;
    TListForm* List = nullptr;
};
