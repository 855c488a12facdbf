#include "com/registry_script.h"

#include <cctype>
#include <optional>
#include <vector>

#include "platform/registry.h"
#include "registry_tree.h"
#include "text_util.h"

namespace com {

namespace {

enum class Flag { Normal, NoRemove, ForceRemove, Delete };

struct ScriptValue {
    std::string name;
    platform::RegistryValue value;
};

struct ScriptKey {
    Flag flag = Flag::Normal;
    std::string name;
    std::optional<platform::RegistryValue> defaultValue;
    std::vector<ScriptValue> values;
    std::vector<ScriptKey> children;
};

struct ScriptRoot {
    platform::Hive hive;
    std::string prefix;  // key path of the root inside its hive ("" or "Software\Classes")
    std::vector<ScriptKey> keys;
};

struct Token {
    enum Kind { Word, Quoted, Equals, Open, Close, End } kind = End;
    std::string text;
    int line = 0;
};

class Parser {
public:
    Parser(const std::string& script, const std::map<std::string, std::string>& replacements,
           RegistrationScope scope)
        : text_(script), replacements_(replacements), scope_(scope) {}

    bool Parse(std::vector<ScriptRoot>& roots) {
        if (!Tokenize()) return false;
        while (Peek().kind != Token::End) {
            ScriptRoot root;
            if (!ParseRootName(Next(), root)) return false;
            if (!Expect(Token::Open)) return false;
            if (!ParseKeys(root.keys)) return false;
            roots.push_back(std::move(root));
        }
        return true;
    }

    const std::string& Error() const { return error_; }

private:
    bool Fail(const std::string& what, int line) {
        error_ = "line " + std::to_string(line) + ": " + what;
        return false;
    }

    bool Substitute(std::string& text, int line) {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '%') {
                out += text[i];
                continue;
            }
            std::size_t end = text.find('%', i + 1);
            if (end == std::string::npos) return Fail("unmatched %", line);
            std::string name = text.substr(i + 1, end - i - 1);
            if (name.empty()) {
                out += '%';
            } else {
                auto it = replacements_.find(name);
                if (it == replacements_.end()) return Fail("unknown %" + name + "%", line);
                out += it->second;
            }
            i = end;
        }
        text = std::move(out);
        return true;
    }

    bool Tokenize() {
        int line = 1;
        std::size_t i = 0;
        auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
        while (i < text_.size()) {
            char c = text_[i];
            if (c == '\n') ++line;
            if (isSpace(c)) {
                ++i;
                continue;
            }
            Token t;
            t.line = line;
            const bool alone = i + 1 >= text_.size() || isSpace(text_[i + 1]);
            if (c == '=') {
                t.kind = Token::Equals;
                ++i;
            } else if ((c == '{' || c == '}') && alone) {
                t.kind = c == '{' ? Token::Open : Token::Close;
                ++i;
            } else if (c == '\'') {
                t.kind = Token::Quoted;
                ++i;
                bool closed = false;
                while (i < text_.size()) {
                    if (text_[i] == '\'') {
                        if (i + 1 < text_.size() && text_[i + 1] == '\'') {
                            t.text += '\'';
                            i += 2;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    if (text_[i] == '\n') ++line;
                    t.text += text_[i++];
                }
                if (!closed) return Fail("unterminated quoted text", t.line);
                if (!Substitute(t.text, t.line)) return false;
            } else {
                t.kind = Token::Word;
                while (i < text_.size() && !isSpace(text_[i]) && text_[i] != '=')
                    t.text += text_[i++];
                if (!Substitute(t.text, t.line)) return false;
            }
            tokens_.push_back(std::move(t));
        }
        Token end;
        end.line = line;
        tokens_.push_back(end);
        return true;
    }

    const Token& Peek() const { return tokens_[pos_]; }
    const Token& Next() {
        const Token& t = tokens_[pos_];
        if (t.kind != Token::End) ++pos_;
        return t;
    }
    bool Expect(Token::Kind kind) {
        const Token& t = Next();
        if (t.kind != kind)
            return Fail(kind == Token::Open ? "'{' expected" : "unexpected token", t.line);
        return true;
    }
    static bool IsWord(const Token& t, const char* word) {
        return t.kind == Token::Word && detail::EqualsNoCase(t.text, word);
    }

    bool ParseRootName(const Token& t, ScriptRoot& root) {
        const std::string name = detail::ToLower(t.text);
        if (t.kind != Token::Word) return Fail("root key expected", t.line);
        if (name == "hkcr" || name == "hkey_classes_root") {
            root.hive = detail::ScopeHive(scope_ == RegistrationScope::PerUser);
            root.prefix = "Software\\Classes";
        } else if (name == "hkcu" || name == "hkey_current_user") {
            root.hive = platform::Hive::CurrentUser;
        } else if (name == "hklm" || name == "hkey_local_machine") {
            root.hive = platform::Hive::LocalMachine;
        } else {
            return Fail("unknown root key " + t.text, t.line);
        }
        return true;
    }

    bool ParseValue(platform::RegistryValue& value) {
        const Token& type = Next();
        const Token& v = Next();
        if (v.kind != Token::Quoted && v.kind != Token::Word) return Fail("value expected", v.line);
        if (IsWord(type, "s")) {
            value = v.text;
            return true;
        }
        if (IsWord(type, "d")) {
            try {
                std::size_t used = 0;
                long long n = std::stoll(v.text, &used, 0);
                if (used != v.text.size() || n < 0 || n > 0xFFFFFFFFLL)
                    return Fail("bad number " + v.text, v.line);
                value = static_cast<std::int64_t>(n);
                return true;
            } catch (const std::exception&) {
                return Fail("bad number " + v.text, v.line);
            }
        }
        return Fail("value type s or d expected", type.line);
    }

    // Keys up to and including the closing brace.
    bool ParseKeys(std::vector<ScriptKey>& keys) {
        for (;;) {
            const Token& t = Next();
            if (t.kind == Token::Close) return true;
            if (t.kind == Token::End) return Fail("'}' expected", t.line);
            if (IsWord(t, "val")) {
                ScriptValue value;
                const Token& name = Next();
                if (name.kind != Token::Word && name.kind != Token::Quoted)
                    return Fail("value name expected", name.line);
                value.name = name.text;
                if (!inKey_) return Fail("val outside a key", t.line);
                if (!Expect(Token::Equals) || !ParseValue(value.value)) return false;
                currentValues_->push_back(std::move(value));
                continue;
            }
            ScriptKey key;
            const Token* nameToken = &t;
            if (IsWord(t, "NoRemove")) key.flag = Flag::NoRemove;
            if (IsWord(t, "ForceRemove")) key.flag = Flag::ForceRemove;
            if (IsWord(t, "Delete")) key.flag = Flag::Delete;
            if (key.flag != Flag::Normal) nameToken = &Next();
            if (nameToken->kind != Token::Word && nameToken->kind != Token::Quoted)
                return Fail("key name expected", nameToken->line);
            if (nameToken->text.empty() || nameToken->text.find('\\') != std::string::npos)
                return Fail("bad key name '" + nameToken->text + "'", nameToken->line);
            key.name = nameToken->text;
            if (Peek().kind == Token::Equals) {
                Next();
                platform::RegistryValue value;
                if (!ParseValue(value)) return false;
                key.defaultValue = std::move(value);
            }
            if (Peek().kind == Token::Open) {
                Next();
                std::vector<ScriptValue>* outer = currentValues_;
                const bool outerInKey = inKey_;
                currentValues_ = &key.values;
                inKey_ = true;
                const bool ok = ParseKeys(key.children);
                currentValues_ = outer;
                inKey_ = outerInKey;
                if (!ok) return false;
            }
            keys.push_back(std::move(key));
        }
    }

    const std::string& text_;
    const std::map<std::string, std::string>& replacements_;
    RegistrationScope scope_;
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    std::string error_;
    std::vector<ScriptValue>* currentValues_ = nullptr;
    bool inKey_ = false;
};

std::string Join(const std::string& parent, const std::string& name) {
    return parent.empty() ? name : parent + "\\" + name;
}

bool Install(platform::Hive hive, const std::string& parent, const ScriptKey& key) {
    const std::string path = Join(parent, key.name);
    if (key.flag == Flag::Delete) {
        detail::DeleteRegistryTree(hive, path);
        return true;
    }
    if (key.flag == Flag::ForceRemove) detail::DeleteRegistryTree(hive, path);
    if (!platform::RegistryCreateKey(hive, path)) return false;
    if (key.defaultValue && !platform::RegistrySetValue(hive, path, "", *key.defaultValue))
        return false;
    for (const ScriptValue& v : key.values)
        if (!platform::RegistrySetValue(hive, path, v.name, v.value)) return false;
    for (const ScriptKey& child : key.children)
        if (!Install(hive, path, child)) return false;
    return true;
}

void Uninstall(platform::Hive hive, const std::string& parent, const ScriptKey& key) {
    const std::string path = Join(parent, key.name);
    if (key.flag == Flag::Delete) return;
    if (key.flag == Flag::ForceRemove) {
        detail::DeleteRegistryTree(hive, path);
        return;
    }
    if (!platform::RegistryKeyExists(hive, path)) return;
    for (const ScriptKey& child : key.children) Uninstall(hive, path, child);
    for (const ScriptValue& v : key.values) platform::RegistryDeleteValue(hive, path, v.name);
    if (key.flag == Flag::NoRemove) return;
    // Keys that others still use below keep living.
    if (platform::RegistrySubKeys(hive, path).empty()) platform::RegistryDeleteKey(hive, path);
}

}  // namespace

HRESULT ApplyRegistryScript(const std::string& script,
                            const std::map<std::string, std::string>& replacements,
                            RegistrationScope scope, bool install, std::string* error) {
    Parser parser(script, replacements, scope);
    std::vector<ScriptRoot> roots;
    if (!parser.Parse(roots)) {
        if (error) *error = parser.Error();
        return E_INVALIDARG;
    }
    for (const ScriptRoot& root : roots) {
        for (const ScriptKey& key : root.keys) {
            if (install) {
                if (!Install(root.hive, root.prefix, key)) {
                    if (error) *error = "registry write failed under " + key.name;
                    return E_FAIL;
                }
            } else {
                Uninstall(root.hive, root.prefix, key);
            }
        }
    }
    return S_OK;
}

}  // namespace com
