#pragma once
// Decoded audio as the host's DSP chain carries it: interleaved 32-bit floats.
#include <cstddef>
#include <memory>
#include <vector>

class audio_chunk {
public:
    // Speaker bits of the channel layout mask.
    enum : unsigned {
        channel_front_left = 1, channel_front_right = 2, channel_front_center = 4, channel_lfe = 8,
        channel_back_left = 16, channel_back_right = 32, channel_front_center_left = 64,
        channel_front_center_right = 128,
    };

    virtual float* get_data() = 0;
    virtual const float* get_data() const = 0;
    // Capacity of the sample buffer, in samples (not frames).
    virtual std::size_t get_data_size() const = 0;
    // Grows the buffer to at least `samples`, keeping what it holds.
    virtual void set_data_size(std::size_t samples) = 0;
    virtual unsigned get_sample_rate() const = 0;
    virtual void set_sample_rate(unsigned rate) = 0;
    virtual unsigned get_channels() const = 0;
    virtual unsigned get_channel_config() const = 0;
    virtual void set_channels(unsigned count, unsigned mask) = 0;
    // Samples per channel.
    virtual std::size_t get_sample_count() const = 0;
    virtual void set_sample_count(std::size_t count) = 0;

    // The usual speaker layout for a channel count; 0 when there is none.
    static unsigned default_channel_mask(unsigned channels) {
        static const unsigned masks[] = {0x0, 0x4, 0x3, 0xB, 0x33, 0x3B, 0x3F, 0xFB, 0xFF};
        return channels < sizeof masks / sizeof masks[0] ? masks[channels] : 0;
    }

    bool is_empty() const { return get_sample_rate() == 0 || get_channels() == 0 || get_sample_count() == 0; }

protected:
    ~audio_chunk() = default;
};

class audio_chunk_impl final : public audio_chunk {
public:
    float* get_data() override { return data_.data(); }
    const float* get_data() const override { return data_.data(); }
    std::size_t get_data_size() const override { return data_.size(); }
    void set_data_size(std::size_t samples) override { if (samples > data_.size()) data_.resize(samples); }
    unsigned get_sample_rate() const override { return rate_; }
    void set_sample_rate(unsigned rate) override { rate_ = rate; }
    unsigned get_channels() const override { return channels_; }
    unsigned get_channel_config() const override { return mask_; }
    void set_channels(unsigned count, unsigned mask) override { channels_ = count; mask_ = mask; }
    std::size_t get_sample_count() const override { return samples_; }
    void set_sample_count(std::size_t count) override { samples_ = count; }

    // Fills the chunk with `frames` interleaved frames.
    void set_data(const float* interleaved, std::size_t frames, unsigned channels, unsigned rate, unsigned mask) {
        set_data_size(frames * channels);
        for (std::size_t i = 0; i < frames * channels; ++i) data_[i] = interleaved[i];
        samples_ = frames;
        channels_ = channels;
        rate_ = rate;
        mask_ = mask;
    }

private:
    std::vector<float> data_;
    unsigned rate_ = 0;
    unsigned channels_ = 0;
    unsigned mask_ = 0;
    std::size_t samples_ = 0;
};

class dsp_chunk_list {
public:
    virtual std::size_t get_count() const = 0;
    virtual audio_chunk* get_item(std::size_t index) = 0;
    virtual void remove_by_index(std::size_t index) = 0;
    // Inserts an empty chunk at `index` (clamped to the count) and returns it.
    virtual audio_chunk* insert_item(std::size_t index) = 0;

protected:
    ~dsp_chunk_list() = default;
};

// Removed chunks are kept for reuse, so a list that is filled, run and
// cleared chunk after chunk stops allocating once its buffers are big enough.
class dsp_chunk_list_impl final : public dsp_chunk_list {
public:
    std::size_t get_count() const override { return chunks_.size(); }
    audio_chunk* get_item(std::size_t index) override { return index < chunks_.size() ? chunks_[index].get() : nullptr; }
    void remove_by_index(std::size_t index) override {
        if (index >= chunks_.size()) return;
        spare_.push_back(std::move(chunks_[index]));
        chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(index));
    }
    audio_chunk* insert_item(std::size_t index) override {
        if (index > chunks_.size()) index = chunks_.size();
        std::unique_ptr<audio_chunk_impl> chunk;
        if (spare_.empty()) {
            chunk = std::make_unique<audio_chunk_impl>();
        } else {
            chunk = std::move(spare_.back());
            spare_.pop_back();
            chunk->set_sample_rate(0);
            chunk->set_channels(0, 0);
            chunk->set_sample_count(0);
        }
        return chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(index), std::move(chunk))->get();
    }
    audio_chunk_impl* chunk(std::size_t index) { return chunks_.at(index).get(); }
    void clear() {
        while (!chunks_.empty()) remove_by_index(chunks_.size() - 1);
    }

private:
    std::vector<std::unique_ptr<audio_chunk_impl>> chunks_;
    std::vector<std::unique_ptr<audio_chunk_impl>> spare_;
};
