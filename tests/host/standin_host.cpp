// The stand-in host: arrays, allocator, console and error facility that the
// plug-ins' bridge compiles against in the unit tests.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <stdexcept>

#include "standin.h"

struct mxArray_tag {
    mxClassID cls = mxDOUBLE_CLASS;
    std::vector<mwSize> dims;
    std::vector<unsigned char> bytes;
    bool complex = false;
    bool sparse = false;
};

namespace standin {

namespace {

struct Raised {
    std::string text;
};

struct CallState {
    Outcome* outcome = nullptr;
    std::map<void*, std::size_t> blocks;  // host blocks alive in this call
    std::set<mxArray*> created;           // arrays made by the command
    long allocations = 0;
    long fail_at = 0;
    HostFailure fail_how = HostFailure::null_answer;
    long interrupt_at = 0;
};

CallState state;
long pending_failure = 0;
HostFailure pending_how = HostFailure::null_answer;
long pending_interrupt = 0;

// How the elements of each class are stored: their size, and reading and
// writing one as a double.
struct Codec {
    std::size_t size;
    double (*load)(const unsigned char*);
    void (*save)(unsigned char*, double);
};

template <typename T>
double load(const unsigned char* p)
{
    T x;
    std::memcpy(&x, p, sizeof x);
    return static_cast<double>(x);
}

template <typename T>
void save(unsigned char* p, double v)
{
    const T x = static_cast<T>(v);
    std::memcpy(p, &x, sizeof x);
}

template <typename T>
constexpr Codec codec_of()
{
    return {sizeof(T), load<T>, save<T>};
}

Codec codec(mxClassID cls)
{
    switch (cls) {
        case mxDOUBLE_CLASS:
            return codec_of<double>();
        case mxSINGLE_CLASS:
            return codec_of<float>();
        case mxINT8_CLASS:
            return codec_of<std::int8_t>();
        case mxUINT8_CLASS:
            return codec_of<std::uint8_t>();
        case mxINT16_CLASS:
            return codec_of<std::int16_t>();
        case mxUINT16_CLASS:
        case mxCHAR_CLASS:
            return codec_of<std::uint16_t>();
        case mxINT32_CLASS:
            return codec_of<std::int32_t>();
        case mxUINT32_CLASS:
            return codec_of<std::uint32_t>();
        case mxINT64_CLASS:
            return codec_of<std::int64_t>();
        case mxUINT64_CLASS:
            return codec_of<std::uint64_t>();
        case mxLOGICAL_CLASS:
            return codec_of<bool>();
        default:  // cells, structures and the like: slots whose contents no one reads
            return {sizeof(void*), nullptr, nullptr};
    }
}

std::size_t element_count(const std::vector<mwSize>& dims)
{
    std::size_t n = 1;
    for (mwSize d : dims)
        n *= d;
    return n;
}

// Element k as a double (0 for classes without numbers).
double element(const mxArray* a, std::size_t k)
{
    const Codec c = codec(a->cls);
    return c.load != nullptr ? c.load(a->bytes.data() + k * c.size) : 0.0;
}

bool allocation_allowed()
{
    ++state.allocations;
    const bool fails = state.fail_at > 0 && state.allocations == state.fail_at;
    if (fails && state.fail_how == HostFailure::raised_error)
        throw Raised{host_allocation_error};
    return !fails;
}

}  // namespace

ArrayPtr make_array(mxClassID cls, std::vector<std::size_t> dims, const std::vector<double>& values, bool complex,
                    bool sparse)
{
    auto* a = new mxArray_tag;
    a->cls = cls;
    a->dims.assign(dims.begin(), dims.end());
    a->complex = complex;
    a->sparse = sparse;
    const std::size_t n = element_count(a->dims);
    const Codec c = codec(cls);
    a->bytes.assign(n * c.size * (complex ? 2 : 1), 0);
    for (std::size_t k = 0; c.save != nullptr && k < n && k < values.size(); ++k)
        c.save(a->bytes.data() + k * c.size, values[k]);
    return ArrayPtr(a, [](mxArray* p) { delete p; });
}

ArrayPtr matrix(std::size_t rows, std::size_t columns, const std::vector<double>& row_major)
{
    std::vector<double> column_major(rows * columns, 0.0);
    for (std::size_t i = 0; i < rows; ++i)
        for (std::size_t j = 0; j < columns; ++j)
            if (i * columns + j < row_major.size())
                column_major[j * rows + i] = row_major[i * columns + j];
    return make_array(mxDOUBLE_CLASS, {rows, columns}, column_major);
}

ArrayPtr scalar(double value)
{
    return make_array(mxDOUBLE_CLASS, {1, 1}, {value});
}

ArrayPtr column(const std::vector<double>& values)
{
    return make_array(mxDOUBLE_CLASS, {values.size(), 1}, values);
}

ArrayPtr row(const std::vector<double>& values)
{
    return make_array(mxDOUBLE_CLASS, {1, values.size()}, values);
}

std::vector<double> values_of(const mxArray* array)
{
    std::vector<double> out(element_count(array->dims));
    for (std::size_t k = 0; k < out.size(); ++k)
        out[k] = element(array, k);
    return out;
}

std::vector<std::size_t> dims_of(const mxArray* array)
{
    return std::vector<std::size_t>(array->dims.begin(), array->dims.end());
}

mxClassID class_of(const mxArray* array)
{
    return array->cls;
}

const char* const host_allocation_error = "failed to allocate memory";

void fail_host_allocation_at(long k, HostFailure how)
{
    pending_failure = k;
    pending_how = how;
}

void interrupt_at_poll(long k)
{
    pending_interrupt = k;
}

Outcome call(MexEntry entry, int nlhs, const std::vector<ArrayPtr>& inputs)
{
    Outcome outcome;
    state = CallState{};
    state.outcome = &outcome;
    state.fail_at = pending_failure;
    state.fail_how = pending_how;
    state.interrupt_at = pending_interrupt;
    pending_failure = 0;
    pending_how = HostFailure::null_answer;
    pending_interrupt = 0;

    std::vector<std::vector<unsigned char>> before;
    std::vector<const mxArray*> prhs;
    for (const auto& in : inputs) {
        before.push_back(in->bytes);
        prhs.push_back(in.get());
    }
    std::vector<mxArray*> plhs(static_cast<std::size_t>(nlhs > 0 ? nlhs : 1), nullptr);

    try {
        entry(nlhs, plhs.data(), static_cast<int>(prhs.size()), prhs.data());
    } catch (const Raised& raised) {
        outcome.raised = true;
        outcome.error = raised.text;
    }

    for (std::size_t k = 0; k < inputs.size(); ++k)
        if (inputs[k]->bytes != before[k])
            outcome.inputs_unchanged = false;

    // Arrays in the output slots pass to the caller; on an error the host
    // discards them like every other array the command made.
    for (mxArray* out : plhs) {
        if (out != nullptr && !outcome.raised && state.created.erase(out) != 0)
            outcome.outputs.push_back(ArrayPtr(out, [](mxArray* p) { delete p; }));
        else
            outcome.outputs.push_back(nullptr);
    }
    for (mxArray* leftover : state.created)
        delete leftover;
    outcome.reclaimed_blocks = state.blocks.size();
    for (auto& block : state.blocks)
        std::free(block.first);
    outcome.host_allocations = state.allocations;
    state = CallState{};
    return outcome;
}

namespace {
const std::function<void()>* pending_body = nullptr;
void run_body(int, mxArray*[], int, const mxArray*[])
{
    (*pending_body)();
}
}  // namespace

Outcome within_call(const std::function<void()>& body)
{
    pending_body = &body;
    Outcome outcome = call(run_body, 0, {});
    pending_body = nullptr;
    return outcome;
}

}  // namespace standin

using standin::state;

extern "C" {

mwSize mxGetNumberOfDimensions(const mxArray* array)
{
    return array->dims.size();
}

const mwSize* mxGetDimensions(const mxArray* array)
{
    return array->dims.data();
}

double mxGetScalar(const mxArray* array)
{
    return array->bytes.empty() ? 0.0 : standin::element(array, 0);
}

double* mxGetPr(const mxArray* array)
{
    return reinterpret_cast<double*>(const_cast<unsigned char*>(array->bytes.data()));
}

void* mxGetData(const mxArray* array)
{
    return const_cast<unsigned char*>(array->bytes.data());
}

mxClassID mxGetClassID(const mxArray* array)
{
    return array->cls;
}

bool mxIsNumeric(const mxArray* array)
{
    return array->cls >= mxDOUBLE_CLASS && array->cls <= mxUINT64_CLASS;
}

bool mxIsLogical(const mxArray* array)
{
    return array->cls == mxLOGICAL_CLASS;
}

bool mxIsComplex(const mxArray* array)
{
    return array->complex;
}

bool mxIsSparse(const mxArray* array)
{
    return array->sparse;
}

mxArray* mxCreateNumericArray(mwSize ndim, const mwSize* dims, mxClassID classid, mxComplexity flag)
{
    if (!standin::allocation_allowed())
        return nullptr;
    auto* a = new mxArray_tag;
    a->cls = classid;
    a->dims.assign(dims, dims + ndim);
    a->complex = flag == mxCOMPLEX;
    a->bytes.assign(standin::element_count(a->dims) * standin::codec(classid).size, 0);
    state.created.insert(a);
    return a;
}

// A strict host: a request for zero bytes is refused like an exhausted one.
void* mxCalloc(size_t n, size_t size)
{
    if (!standin::allocation_allowed() || n == 0 || size == 0)
        return nullptr;
    void* block = std::calloc(n, size);
    if (block != nullptr)
        state.blocks[block] = n * size;
    return block;
}

void* mxRealloc(void* ptr, size_t size)
{
    if (!standin::allocation_allowed() || size == 0)
        return nullptr;
    if (ptr != nullptr && state.blocks.count(ptr) == 0)
        throw std::logic_error("mxRealloc of a block the host does not know");
    void* block = std::realloc(ptr, size);
    if (block == nullptr)
        return nullptr;
    if (ptr != nullptr)
        state.blocks.erase(ptr);
    state.blocks[block] = size;
    return block;
}

void mxFree(void* ptr)
{
    if (ptr == nullptr)
        return;
    if (state.blocks.erase(ptr) == 0)
        throw std::logic_error("mxFree of a block the host does not know");
    std::free(ptr);
}

int mexPrintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    if (state.outcome != nullptr)
        state.outcome->console += text;
    return length;
}

void mexWarnMsgTxt(const char* text)
{
    if (state.outcome != nullptr)
        state.outcome->warnings.emplace_back(text);
}

void mexErrMsgTxt(const char* text)
{
    throw standin::Raised{text};
}

bool utIsInterruptPending()
{
    if (state.outcome == nullptr)
        return false;
    const long poll = ++state.outcome->interrupt_polls;
    return state.interrupt_at > 0 && poll >= state.interrupt_at;
}

void mexAddFlops(int count)
{
    if (state.outcome != nullptr) {
        state.outcome->work += static_cast<unsigned int>(count);
        state.outcome->work_calls.push_back(count);
    }
}

}  // extern "C"
