// Shared set-up of the COSMOS protocol tests: a sandbox, the scripted COSMOS
// side with its folders installed, a protocol object whose reports to the
// host are recorded, and a tear-down that ends the worker and lets the
// command dialogs finish before anything goes away.
#pragma once

#include "cosmos/cosmos_protocol.h"
#include "dialogs/templates.h"
#include "framework/plugin/module.h"
#include "scripted_cosmos.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CosmosTest : public ::testing::Test {
protected:
    void SetUp() override {
        // What loading the module does: its dialog templates become known.
        plat::RegisterTemplates(PluginResourceModule(), &PluginDialogTemplates());
        cosmos.Install();
        protocol = std::make_unique<MitutoyoCosmosProtocol>();
        protocol->m_remoteStartTimeout = 1000;
        protocol->SetClient([this](const ClientMessage& message) {
            std::lock_guard<std::mutex> guard(m_reportsLock);
            m_reports.push_back(message);
        });
    }

    void TearDown() override {
        // A worker may sit in an exchange the scripted side left unanswered:
        // no new polls, and answers until it has left.
        protocol->CMMProtocolWithThread::OnStopTransaction();
        cosmos.SetResponder([](const ParameterMap&) { return std::optional<std::string>("Error=0\n"); });
        std::atomic<bool> ended{false};
        std::thread ender([&] {
            protocol->EndThread();
            ended = true;
        });
        while (!ended) {
            if (!box.Exists("C:\\COSMOS\\VELMOR\\GEO_ZOR.DAT")) cosmos.WriteAnswer("Error=0\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ender.join();
        plat::PumpMessages();  // closes dialogs whose close is still queued
        protocol.reset();
        cosmos.Stop();
    }

    // Connected, worker running, the connection's keys and commands forgotten.
    void ConnectAndStart() {
        cosmos.OpenPartManager();
        cosmos.Start();
        ASSERT_EQ(protocol->Connect(), 1);
        ASSERT_TRUE(protocol->StartThread());
        box.ui().ClearMessages();
    }

    std::vector<ClientMessage> Reports() {
        std::lock_guard<std::mutex> guard(m_reportsLock);
        return m_reports;
    }

    // The command file the scripted side took last, as a map.
    ParameterMap LastCommand() {
        auto commands = cosmos.Commands();
        return commands.empty() ? ParameterMap() : commands.back().values;
    }

    testsupport::Sandbox box{50.0};
    ScriptedCosmos cosmos{box};
    std::unique_ptr<MitutoyoCosmosProtocol> protocol;

private:
    std::mutex m_reportsLock;
    std::vector<ClientMessage> m_reports;
};

// The canonical key lines a SendKeyString text types.
std::vector<std::string> KeyLines(const std::string& keys);
