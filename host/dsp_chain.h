#pragma once
// An ordered DSP chain: one preset per position.
#include <cstddef>
#include <vector>

#include "dsp_preset.h"

class dsp_chain_config {
public:
    virtual std::size_t get_count() const = 0;
    virtual const dsp_preset& get_item(std::size_t index) const = 0;
    virtual void replace_item(const dsp_preset& preset, std::size_t index) = 0;
    virtual void insert_item(const dsp_preset& preset, std::size_t index) = 0;
    virtual void remove_item(std::size_t index) = 0;
    virtual void remove_all() = 0;

    void add_item(const dsp_preset& preset) { insert_item(preset, get_count()); }
    void copy_from(const dsp_chain_config& other) {
        remove_all();
        for (std::size_t i = 0; i < other.get_count(); ++i) add_item(other.get_item(i));
    }

protected:
    ~dsp_chain_config() = default;
};

class dsp_chain_config_impl final : public dsp_chain_config {
public:
    dsp_chain_config_impl() = default;
    dsp_chain_config_impl(const dsp_chain_config_impl& other) : items_(other.items_) {}
    dsp_chain_config_impl& operator=(const dsp_chain_config_impl& other) {
        items_ = other.items_;
        return *this;
    }

    std::size_t get_count() const override { return items_.size(); }
    const dsp_preset& get_item(std::size_t index) const override { return items_.at(index); }
    void replace_item(const dsp_preset& preset, std::size_t index) override { items_.at(index).assign(preset); }
    void insert_item(const dsp_preset& preset, std::size_t index) override {
        if (index > items_.size()) index = items_.size();
        items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), dsp_preset_impl(preset));
    }
    void remove_item(std::size_t index) override {
        if (index < items_.size()) items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
    }
    void remove_all() override { items_.clear(); }

private:
    std::vector<dsp_preset_impl> items_;
};
