// The monitor class file as built for embedding: Java 1.4 format, the fields, constants and
// methods the launcher and the application rely on.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Just enough of the class file format to list fields, their constant values and methods.
class ClassFile {
  public:
    explicit ClassFile(const std::string &path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        const std::string text = s.str();
        bytes_.assign(text.begin(), text.end());
        size = bytes_.size();
        magic = u4();
        minor = u2();
        major = u2();
        const unsigned count = u2();
        pool_.resize(count);
        for (unsigned i = 1; i < count; ++i) {
            Entry &e = pool_[i];
            e.tag = u1();
            switch (e.tag) {
            case 1: { // Utf8
                const unsigned n = u2();
                e.text.assign(bytes_.begin() + pos_, bytes_.begin() + pos_ + n);
                pos_ += n;
                break;
            }
            case 3: // Integer
                e.value = static_cast<std::int32_t>(u4());
                break;
            case 4: // Float
                u4();
                break;
            case 5: // Long, Double: two slots
            case 6:
                u4();
                u4();
                ++i;
                break;
            case 7: // Class
            case 8: // String
                e.ref = u2();
                break;
            default: // Fieldref, Methodref, InterfaceMethodref, NameAndType
                u4();
                break;
            }
        }
        access = u2();
        thisClass = pool_[pool_[u2()].ref].text;
        superClass = pool_[pool_[u2()].ref].text;
        for (unsigned n = u2(); n > 0; --n)
            interfaces.push_back(pool_[pool_[u2()].ref].text);
        for (unsigned n = u2(); n > 0; --n) {
            Member m = member();
            fields[m.name] = m;
        }
        for (unsigned n = u2(); n > 0; --n) {
            Member m = member();
            methods[m.name + m.descriptor] = m;
        }
        for (unsigned n = u2(); n > 0; --n) {
            const std::string name = pool_[u2()].text;
            const std::uint32_t length = u4();
            if (name == "SourceFile")
                sourceFile = pool_[peek2()].text;
            pos_ += length;
        }
    }

    struct Member {
        unsigned access = 0;
        std::string name, descriptor;
        bool hasConstant = false;
        std::int32_t constant = 0;
        std::vector<std::string> attributes;
    };

    std::size_t size = 0;
    std::uint32_t magic = 0;
    unsigned minor = 0, major = 0, access = 0;
    std::string thisClass, superClass, sourceFile;
    std::vector<std::string> interfaces;
    std::map<std::string, Member> fields, methods;

  private:
    struct Entry {
        unsigned tag = 0;
        std::string text;
        std::int32_t value = 0;
        unsigned ref = 0;
    };

    Member member() {
        Member m;
        m.access = u2();
        m.name = pool_[u2()].text;
        m.descriptor = pool_[u2()].text;
        for (unsigned n = u2(); n > 0; --n) {
            const std::string name = pool_[u2()].text;
            const std::uint32_t length = u4();
            m.attributes.push_back(name);
            if (name == "ConstantValue") {
                m.hasConstant = true;
                m.constant = pool_[peek2()].value;
            } else if (name == "Code") {
                // Code's own attributes: LineNumberTable, LocalVariableTable.
                std::size_t p = pos_ + 4;
                const std::uint32_t codeLength = at4(p);
                p += 4 + codeLength;
                p += 2 + 8 * at2(p);
                const unsigned k = at2(p);
                p += 2;
                for (unsigned q = 0; q < k; ++q) {
                    p += 2;
                    m.attributes.push_back(pool_[at2(p - 2)].text);
                    p += 4 + at4(p);
                }
            }
            pos_ += length;
        }
        return m;
    }
    unsigned u1() { return bytes_.at(pos_++); }
    unsigned u2() {
        unsigned v = at2(pos_);
        pos_ += 2;
        return v;
    }
    std::uint32_t u4() {
        std::uint32_t v = at4(pos_);
        pos_ += 4;
        return v;
    }
    unsigned peek2() const { return at2(pos_); }
    unsigned at2(std::size_t p) const { return (bytes_.at(p) << 8) | bytes_.at(p + 1); }
    std::uint32_t at4(std::size_t p) const { return (static_cast<std::uint32_t>(at2(p)) << 16) | at2(p + 2); }

    std::vector<unsigned char> bytes_;
    std::size_t pos_ = 0;
    std::vector<Entry> pool_;
};

constexpr unsigned kPublic = 0x0001, kPrivate = 0x0002, kStatic = 0x0008, kFinal = 0x0010, kNative = 0x0100;

bool has(const std::vector<std::string> &v, const std::string &x) {
    for (const auto &e : v)
        if (e == x)
            return true;
    return false;
}

} // namespace

TEST(MonitorClassFile, IsAJava14ClassWithDebugAttributes) {
    ClassFile c(QV_LAUNCHER_CLASS);
    ASSERT_GT(c.size, 0u) << QV_LAUNCHER_CLASS;
    std::printf("LauncherControl.class: %zu bytes\n", c.size);
    EXPECT_EQ(0xCAFEBABEu, c.magic);
    EXPECT_EQ(48u, c.major);
    EXPECT_EQ(0u, c.minor);
    EXPECT_EQ("halvane/nerel/commonLib/integrador/backup/LauncherControl", c.thisClass);
    EXPECT_EQ("java/lang/Object", c.superClass);
    EXPECT_EQ(std::vector<std::string>{"java/lang/Runnable"}, c.interfaces);
    EXPECT_TRUE(c.access & kPublic);
    EXPECT_EQ("LauncherControl.java", c.sourceFile);
    const auto &run = c.methods["run()V"].attributes;
    EXPECT_TRUE(has(run, "LineNumberTable"));
    EXPECT_TRUE(has(run, "LocalVariableTable"));
}

TEST(MonitorClassFile, ConstantsArePrivateStaticFinalIntsWithTheirValues) {
    ClassFile c(QV_LAUNCHER_CLASS);
    const std::map<std::string, int> expected = {
        {"MIL_SEGUNDOS", 200}, {"SLEEP_ATIVO", 3000},      {"TIMEOUT", 300},      {"STATUS_AGUARDE", 0},
        {"STATUS_ERRO", 1},    {"STATUS_ERRO_MONITOR", 2}, {"STATUS_SUCESSO", 3}, {"STATUS_CARGA", 4}};
    EXPECT_EQ(expected.size(), c.fields.size());
    for (const auto &[name, value] : expected) {
        ASSERT_TRUE(c.fields.count(name)) << name;
        const auto &f = c.fields[name];
        EXPECT_EQ("I", f.descriptor) << name;
        EXPECT_EQ(kPrivate | kStatic | kFinal, f.access) << name;
        EXPECT_TRUE(f.hasConstant) << name;
        EXPECT_EQ(value, f.constant) << name;
    }
}

TEST(MonitorClassFile, PublicMethodsIncludingTheNativeCallback) {
    ClassFile c(QV_LAUNCHER_CLASS);
    const std::map<std::string, unsigned> expected = {{"<init>()V", kPublic},
                                                      {"main([Ljava/lang/String;)V", kPublic | kStatic},
                                                      {"run()V", kPublic},
                                                      {"identificaJFrameAtivo()Z", kPublic},
                                                      {"informarStatus(I)V", kPublic | kNative}};
    EXPECT_EQ(expected.size(), c.methods.size());
    for (const auto &[key, flags] : expected) {
        ASSERT_TRUE(c.methods.count(key)) << key;
        EXPECT_EQ(flags, c.methods[key].access) << key;
    }
}
