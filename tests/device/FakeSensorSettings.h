// A sensor that records every call in order, for the correction tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/SensorSettings.h"

namespace calidra {

class FakeSensorSettings final : public SensorSettings {
public:
    int SetWord49(int value) override { return Set("SetWord49", value, values.word49); }
    int SetReg48Mode(int value) override { return Set("SetReg48Mode", value, values.reg48Mode); }
    int SetPair40(int value) override { return Set("SetPair40", value, values.pair40); }
    int SetPair42(int value) override { return Set("SetPair42", value, values.pair42); }
    int SetPair64(int value) override { return Set("SetPair64", value, values.pair64); }
    int SetPair66(int value) override { return Set("SetPair66", value, values.pair66); }
    int SetPair68(int value) override { return Set("SetPair68", value, values.pair68); }
    int SetPair70(int value) override { return Set("SetPair70", value, values.pair70); }
    int CurrentPair40() const override { return values.pair40; }
    void AssignSettings(const SensorSettingValues& assigned) override {
        values = assigned;
        calls.push_back("Assign");
    }
    int WriteRegister(int reg, int value) override {
        calls.push_back("Write(" + std::to_string(reg) + "," + std::to_string(value) + ")");
        return succeed ? 1 : 0;
    }
    void Sleep(std::uint32_t milliseconds) override { calls.push_back("Sleep(" + std::to_string(milliseconds) + ")"); }

    SensorSettingValues values;
    std::vector<std::string> calls;
    bool succeed = true;

private:
    int Set(const char* name, int value, std::int32_t& recorded) {
        calls.push_back(std::string(name) + "(" + std::to_string(value) + ")");
        if (!succeed) return 0;
        recorded = value;
        return 1;
    }
};

}  // namespace calidra
