#include "platform/glroute/GlslPreprocessor.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace glroute {
namespace {

// Bounds that keep a hostile source from taking unbounded time or memory: the tokens all macro
// expansions of one shader may give, and how deep macro arguments and #if parentheses may nest.
constexpr size_t mostExpandedTokens = 1 << 18;
constexpr int deepestNesting = 200;

using NameSet = std::shared_ptr<const std::set<std::string>>;

struct Token {
    enum Kind { identifier, number, punctuator, space, newline } kind;
    std::string text;
    int line = 0;   // of the source, from 1
    NameSet hidden; // the macros this token came out of, which it may not call again
};

struct Macro {
    bool function = false;
    std::vector<std::string> parameters;
    std::vector<Token> body;
};

// A logical line: backslash-newlines joined, comments gone. `extraLines` are the source lines it
// took beyond its first, given back after it.
struct Line {
    std::string text;
    int number = 1;
    int extraLines = 0;
};

bool isIdentifierStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool isIdentifierChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::vector<Token> tokenize(const std::string& text, int line) {
    static const char* const pairs[] = {"&&", "||", "==", "!=", "<=", ">=", "<<", ">>", "##",
                                        "++", "--", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^="};
    std::vector<Token> tokens;
    size_t at = 0;
    while (at < text.size()) {
        const char c = text[at];
        size_t end = at + 1;
        Token::Kind kind = Token::punctuator;
        if (isBlank(c)) {
            while (end < text.size() && isBlank(text[end])) ++end;
            kind = Token::space;
        } else if (isIdentifierStart(c)) {
            while (end < text.size() && isIdentifierChar(text[end])) ++end;
            kind = Token::identifier;
        } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                   (c == '.' && at + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[at + 1])))) {
            // A preprocessing number: digits, letters and dots, and a sign after an exponent.
            while (end < text.size()) {
                const char d = text[end];
                if (isIdentifierChar(d) || d == '.' ||
                    ((d == '+' || d == '-') && (text[end - 1] == 'e' || text[end - 1] == 'E')))
                    ++end;
                else
                    break;
            }
            kind = Token::number;
        } else {
            for (const char* pair : pairs)
                if (text.compare(at, 2, pair) == 0) end = at + 2;
        }
        tokens.push_back({kind, text.substr(at, end - at), line, nullptr});
        at = end;
    }
    return tokens;
}

Token newlineToken(int line) {
    return {Token::newline, "\n", line, nullptr};
}

void trimSpaces(std::vector<Token>& tokens) {
    while (!tokens.empty() && tokens.back().kind == Token::space) tokens.pop_back();
    size_t first = 0;
    while (first < tokens.size() && tokens[first].kind == Token::space) ++first;
    tokens.erase(tokens.begin(), tokens.begin() + static_cast<long>(first));
}

class Preprocessor {
public:
    explicit Preprocessor(PreprocessedShader& result) : result(result) {}

    bool run(const std::string& source) {
        std::vector<Line> lines;
        if (!splitLines(source, lines)) return false;
        bool seenAnything = false; // #version may only come first
        for (const Line& line : lines) {
            std::vector<Token> tokens = tokenize(line.text, line.number);
            size_t first = 0;
            while (first < tokens.size() && tokens[first].kind == Token::space) ++first;
            const bool directive = first < tokens.size() && tokens[first].text == "#";
            if (directive) {
                if (!flush()) return false;
                tokens.erase(tokens.begin(), tokens.begin() + static_cast<long>(first) + 1);
                if (!runDirective(tokens, line, seenAnything)) return false;
                seenAnything = true;
            } else if (active) {
                for (Token& token : tokens) {
                    if (token.kind != Token::space) seenAnything = true;
                    pending.push_back(std::move(token));
                }
            }
            for (int i = 0; i <= line.extraLines; ++i) pending.push_back(newlineToken(line.number));
        }
        if (!branches.empty()) return fail("has an #if on line " + std::to_string(branches.back().line) +
                                           " without its #endif");
        return flush();
    }

    std::string error;

private:
    struct Branch {
        bool outerActive; // the text around the #if is taken
        bool taken;       // one of its branches has been
        bool elseSeen;
        int line;
    };

    PreprocessedShader& result;
    std::map<std::string, Macro> macros;
    std::vector<Branch> branches;
    bool active = true;
    std::vector<Token> pending; // text lines since the last directive, to be expanded
    size_t expandedTokens = 0;

    bool fail(const std::string& why) {
        error = why;
        return false;
    }

    static std::string onLine(int line) { return " on line " + std::to_string(line); }

    // Line ends of any kind, joined lines, and comments as C takes them: a comment is one blank,
    // and the lines it spans follow the logical line it is in.
    bool splitLines(const std::string& source, std::vector<Line>& lines) {
        std::string text;
        text.reserve(source.size());
        for (size_t i = 0; i < source.size(); ++i) {
            if (source[i] == '\0') {
                int line = 1;
                for (char c : text) line += c == '\n';
                return fail("holds a NUL byte" + onLine(line));
            }
            if (source[i] != '\r') {
                text += source[i];
            } else {
                text += '\n';
                if (i + 1 < source.size() && source[i + 1] == '\n') ++i;
            }
        }
        Line current;
        size_t i = 0;
        const size_t n = text.size();
        const auto joined = [&](size_t at) { return text[at] == '\\' && at + 1 < n && text[at + 1] == '\n'; };
        while (i < n) {
            const char c = text[i];
            if (joined(i)) {
                ++current.extraLines;
                i += 2;
            } else if (c == '/' && i + 1 < n && text[i + 1] == '/') {
                for (i += 2; i < n && text[i] != '\n';) {
                    if (joined(i)) {
                        ++current.extraLines;
                        i += 2;
                    } else {
                        ++i;
                    }
                }
            } else if (c == '/' && i + 1 < n && text[i + 1] == '*') {
                const int from = current.number + current.extraLines;
                const size_t close = text.find("*/", i + 2);
                if (close == std::string::npos) return fail("has a comment that never ends, from line " +
                                                            std::to_string(from));
                for (size_t k = i + 2; k < close; ++k) current.extraLines += text[k] == '\n';
                current.text += ' ';
                i = close + 2;
            } else if (c == '\n') {
                const int next = current.number + current.extraLines + 1;
                lines.push_back(std::move(current));
                current = Line();
                current.number = next;
                ++i;
            } else {
                current.text += c;
                ++i;
            }
        }
        lines.push_back(std::move(current));
        return true;
    }

    bool flush() {
        std::vector<Token> expanded;
        if (!expand(std::move(pending), expanded, 0)) return false;
        pending.clear();
        for (const Token& token : expanded) result.text += token.text;
        return true;
    }

    bool isPredefined(const std::string& name) const {
        return name == "__LINE__" || name == "__FILE__" || name == "__VERSION__";
    }

    static NameSet withName(const NameSet& set, const std::string& name) {
        auto grown = set ? std::make_shared<std::set<std::string>>(*set) : std::make_shared<std::set<std::string>>();
        grown->insert(name);
        return grown;
    }

    static NameSet joinSets(const NameSet& a, const NameSet& b) {
        if (!a) return b;
        if (!b) return a;
        auto joined = std::make_shared<std::set<std::string>>(*a);
        joined->insert(b->begin(), b->end());
        return joined;
    }

    // Expands every macro call in `input`: each call's replacement is read again with what follows
    // it, and a macro is never called again from within its own replacement.
    bool expand(std::vector<Token> input, std::vector<Token>& out, int depth) {
        if (depth > deepestNesting)
            return fail("nests macro arguments more than " + std::to_string(deepestNesting) + " deep");
        std::vector<Token> stack(std::make_move_iterator(input.rbegin()), std::make_move_iterator(input.rend()));
        while (!stack.empty()) {
            Token token = std::move(stack.back());
            stack.pop_back();
            const bool hidden = token.hidden && token.hidden->count(token.text);
            if (token.kind != Token::identifier || hidden) {
                out.push_back(std::move(token));
                continue;
            }
            if (isPredefined(token.text)) {
                const std::string value = token.text == "__LINE__"      ? std::to_string(token.line)
                                          : token.text == "__VERSION__" ? std::to_string(result.version)
                                                                        : "0";
                out.push_back({Token::number, value, token.line, nullptr});
                continue;
            }
            const auto found = macros.find(token.text);
            if (found == macros.end()) {
                out.push_back(std::move(token));
                continue;
            }
            const Macro& macro = found->second;
            const NameSet hide = withName(token.hidden, token.text);
            std::vector<Token> replacement;
            int newlines = 0;
            if (macro.function) {
                size_t look = stack.size();
                while (look > 0 && (stack[look - 1].kind == Token::space || stack[look - 1].kind == Token::newline))
                    --look;
                if (look == 0 || stack[look - 1].text != "(") {
                    out.push_back(std::move(token));
                    continue;
                }
                while (stack.size() >= look) {
                    newlines += stack.back().kind == Token::newline;
                    stack.pop_back();
                }
                std::vector<std::vector<Token>> arguments(1);
                for (int level = 0;;) {
                    if (stack.empty())
                        return fail("calls the macro " + token.text + onLine(token.line) +
                                    " without closing its arguments");
                    Token argument = std::move(stack.back());
                    stack.pop_back();
                    if (argument.kind == Token::newline) {
                        ++newlines;
                        argument = {Token::space, " ", argument.line, nullptr};
                    }
                    if (argument.text == "(") {
                        ++level;
                    } else if (argument.text == ")") {
                        if (level == 0) break;
                        --level;
                    } else if (argument.text == "," && level == 0) {
                        arguments.emplace_back();
                        continue;
                    }
                    arguments.back().push_back(std::move(argument));
                }
                for (std::vector<Token>& argument : arguments) trimSpaces(argument);
                if (macro.parameters.empty() && arguments.size() == 1 && arguments[0].empty()) arguments.clear();
                if (arguments.size() != macro.parameters.size())
                    return fail("calls the macro " + token.text + onLine(token.line) + " with " +
                                std::to_string(arguments.size()) + " arguments; it takes " +
                                std::to_string(macro.parameters.size()));
                std::vector<std::vector<Token>> expanded(arguments.size());
                for (size_t i = 0; i < arguments.size(); ++i)
                    if (!expand(std::move(arguments[i]), expanded[i], depth + 1)) return false;
                std::map<const void*, NameSet> joined; // argument tokens of one origin share a set
                for (const Token& part : macro.body) {
                    size_t parameter = 0;
                    while (parameter < macro.parameters.size() &&
                           (part.kind != Token::identifier || macro.parameters[parameter] != part.text))
                        ++parameter;
                    if (parameter == macro.parameters.size()) {
                        replacement.push_back({part.kind, part.text, token.line, hide});
                        continue;
                    }
                    for (const Token& argument : expanded[parameter]) {
                        NameSet& set = joined[argument.hidden.get()];
                        if (!set) set = joinSets(argument.hidden, hide);
                        replacement.push_back({argument.kind, argument.text, argument.line, set});
                    }
                }
            } else {
                for (const Token& part : macro.body) replacement.push_back({part.kind, part.text, token.line, hide});
            }
            expandedTokens += replacement.size() + 2;
            if (expandedTokens > mostExpandedTokens)
                return fail("expands its macros to more than " + std::to_string(mostExpandedTokens) + " tokens");
            // The lines a call spans follow its replacement; blanks around the replacement keep it
            // from running into its neighbours ("-" and "-X" are not "--").
            for (int i = 0; i < newlines; ++i) stack.push_back(newlineToken(token.line));
            stack.push_back({Token::space, " ", token.line, nullptr});
            for (auto part = replacement.rbegin(); part != replacement.rend(); ++part) stack.push_back(std::move(*part));
            stack.push_back({Token::space, " ", token.line, nullptr});
        }
        return true;
    }

    // The directive's name, and the rest of its tokens without blanks at either end.
    bool runDirective(std::vector<Token>& tokens, const Line& line, bool seenAnything) {
        trimSpaces(tokens);
        if (tokens.empty()) return true; // the null directive
        const std::string name = tokens[0].kind == Token::identifier ? tokens[0].text : "";
        std::vector<Token> rest(tokens.begin() + 1, tokens.end());
        trimSpaces(rest);
        if (name == "if" || name == "ifdef" || name == "ifndef") {
            branches.push_back({active, false, false, line.number});
            if (!active) return true;
            bool condition = false;
            if (!(name == "if" ? evaluate(rest, line.number, condition) : definedName(name, rest, line.number, condition)))
                return false;
            if (name == "ifndef") condition = !condition;
            active = condition;
            branches.back().taken = condition;
            return true;
        }
        if (name == "elif" || name == "else" || name == "endif") {
            if (branches.empty()) return fail("has #" + name + " without #if" + onLine(line.number));
            Branch& branch = branches.back();
            if (name == "endif") {
                active = branch.outerActive;
                branches.pop_back();
                return true;
            }
            if (branch.elseSeen) return fail("has #" + name + " after #else" + onLine(line.number));
            if (name == "else") {
                branch.elseSeen = true;
                active = branch.outerActive && !branch.taken;
                branch.taken = true;
                return true;
            }
            bool condition = false;
            if (branch.outerActive && !branch.taken && !evaluate(rest, line.number, condition)) return false;
            active = branch.outerActive && !branch.taken && condition;
            branch.taken = branch.taken || active;
            return true;
        }
        if (!active) return true;
        if (name == "version") return version(rest, line.number, seenAnything);
        if (name == "define") return define(rest, line.number);
        if (name == "undef") {
            if (rest.size() != 1 || rest[0].kind != Token::identifier)
                return fail("has #undef without one name" + onLine(line.number));
            macros.erase(rest[0].text);
            return true;
        }
        if (name == "line" || name == "pragma") {
            // Passed on as written, unexpanded: the same directive means the same in GLSL ES.
            result.text += "#";
            for (const Token& token : tokens) result.text += token.text;
            return true;
        }
        if (name == "extension") return true; // the desktop's extensions are not the route's to enable
        if (name == "error") {
            std::string text;
            for (const Token& token : rest) text += token.text;
            return fail("stops at #error" + onLine(line.number) + (text.empty() ? "" : ": " + text));
        }
        std::string written;
        for (const Token& token : tokens) written += token.text;
        return fail("has the directive #" + written + onLine(line.number) + ", which GLSL does not have");
    }

    bool version(const std::vector<Token>& rest, int line, bool seenAnything) {
        if (seenAnything) return fail("has #version" + onLine(line) + ", after the start of the shader");
        if (rest.size() == 1 && (rest[0].text == "110" || rest[0].text == "120")) {
            result.version = std::stoi(rest[0].text);
            return true;
        }
        std::string asked;
        for (const Token& token : rest) asked += token.text;
        return fail("asks for GLSL " + asked + onLine(line) + "; the GL route takes GLSL 110 and 120, as GL 2.1 does");
    }

    bool define(const std::vector<Token>& rest, int line) {
        if (rest.empty() || rest[0].kind != Token::identifier) return fail("has #define without a name" + onLine(line));
        const std::string& name = rest[0].text;
        if (isPredefined(name) || name == "defined" || name.compare(0, 3, "GL_") == 0)
            return fail("defines " + name + onLine(line) + ", a name GLSL keeps for itself");
        Macro macro;
        size_t at = 1;
        if (at < rest.size() && rest[at].text == "(") {
            macro.function = true;
            for (++at;; ++at) {
                while (at < rest.size() && rest[at].kind == Token::space) ++at;
                if (at < rest.size() && rest[at].text == ")" && macro.parameters.empty()) break;
                if (at >= rest.size() || rest[at].kind != Token::identifier)
                    return fail("has a #define of " + name + " whose parameters GLSL can't read" + onLine(line));
                for (const std::string& earlier : macro.parameters)
                    if (earlier == rest[at].text)
                        return fail("names the parameter " + earlier + " of " + name + " twice" + onLine(line));
                macro.parameters.push_back(rest[at].text);
                for (++at; at < rest.size() && rest[at].kind == Token::space;) ++at;
                if (at < rest.size() && rest[at].text == ")") break;
                if (at >= rest.size() || rest[at].text != ",")
                    return fail("has a #define of " + name + " whose parameters GLSL can't read" + onLine(line));
            }
            ++at;
        }
        macro.body.assign(rest.begin() + static_cast<long>(std::min(at, rest.size())), rest.end());
        trimSpaces(macro.body);
        for (const Token& token : macro.body)
            if (token.text == "#" || token.text == "##")
                return fail("uses " + token.text + " in the macro " + name + onLine(line) +
                            ", which GLSL's preprocessor does not have");
        macros[name] = std::move(macro);
        return true;
    }

    // #ifdef NAME and #ifndef NAME.
    bool definedName(const std::string& directive, const std::vector<Token>& rest, int line, bool& defined) {
        if (rest.size() != 1 || rest[0].kind != Token::identifier)
            return fail("has #" + directive + " without one name" + onLine(line));
        defined = macros.count(rest[0].text) || isPredefined(rest[0].text);
        return true;
    }

    // The condition of #if or #elif: `defined` first, then macros, then integer arithmetic as C
    // has it; a name left over is 0.
    bool evaluate(const std::vector<Token>& tokens, int line, bool& condition) {
        std::vector<Token> resolved;
        for (size_t i = 0; i < tokens.size(); ++i) {
            if (tokens[i].text != "defined") {
                resolved.push_back(tokens[i]);
                continue;
            }
            size_t at = i + 1;
            const auto skip = [&] {
                while (at < tokens.size() && tokens[at].kind == Token::space) ++at;
            };
            skip();
            const bool parenthesised = at < tokens.size() && tokens[at].text == "(";
            if (parenthesised) {
                ++at;
                skip();
            }
            if (at >= tokens.size() || tokens[at].kind != Token::identifier)
                return fail("has `defined` without a name" + onLine(line));
            const std::string& name = tokens[at].text;
            ++at;
            if (parenthesised) {
                skip();
                if (at >= tokens.size() || tokens[at].text != ")")
                    return fail("has `defined(` without its `)`" + onLine(line));
                ++at;
            }
            resolved.push_back({Token::number, macros.count(name) || isPredefined(name) ? "1" : "0", line, nullptr});
            i = at - 1;
        }
        std::vector<Token> expanded;
        if (!expand(std::move(resolved), expanded, 0)) return false;
        std::vector<Token> terms;
        for (Token& token : expanded)
            if (token.kind != Token::space && token.kind != Token::newline) terms.push_back(std::move(token));
        if (terms.empty()) return fail("has #if without a condition" + onLine(line));
        Expression expression{terms, line, this};
        int64_t value = 0;
        if (!expression.orElse(value, 0)) return false;
        if (expression.at != terms.size())
            return fail("has a condition GLSL can't read at '" + terms[expression.at].text + "'" + onLine(line));
        condition = value != 0;
        return true;
    }

    // Recursive descent over C's operators, lowest precedence first; values wrap as unsigned
    // 64-bit arithmetic does, so no input is undefined behaviour.
    struct Expression {
        const std::vector<Token>& terms;
        int line;
        Preprocessor* owner;
        size_t at = 0;

        bool fail(const std::string& why) { return owner->fail(why + onLine(line)); }
        bool next(const char* text) {
            if (at < terms.size() && terms[at].text == text) {
                ++at;
                return true;
            }
            return false;
        }

        using Step = bool (Expression::*)(int64_t&, int);
        // One level of left-associative binary operators.
        bool binary(int64_t& value, int depth, Step operand, std::initializer_list<const char*> operators) {
            if (!(this->*operand)(value, depth)) return false;
            for (;;) {
                const char* found = nullptr;
                for (const char* op : operators)
                    if (at < terms.size() && terms[at].text == op) found = op;
                if (!found) return true;
                ++at;
                int64_t right = 0;
                if (!(this->*operand)(right, depth)) return false;
                const uint64_t a = static_cast<uint64_t>(value), b = static_cast<uint64_t>(right);
                const std::string op = found;
                if ((op == "/" || op == "%") && right == 0) return fail("divides by zero in #if");
                if (op == "*") value = static_cast<int64_t>(a * b);
                else if (op == "/") value = value == INT64_MIN && right == -1 ? value : value / right;
                else if (op == "%") value = value == INT64_MIN && right == -1 ? 0 : value % right;
                else if (op == "+") value = static_cast<int64_t>(a + b);
                else if (op == "-") value = static_cast<int64_t>(a - b);
                else if (op == "<<") value = static_cast<int64_t>(a << (b & 63));
                else if (op == ">>") value = value >> (b & 63);
                else if (op == "<") value = value < right;
                else if (op == ">") value = value > right;
                else if (op == "<=") value = value <= right;
                else if (op == ">=") value = value >= right;
                else if (op == "==") value = value == right;
                else if (op == "!=") value = value != right;
                else if (op == "&") value = value & right;
                else if (op == "^") value = value ^ right;
                else if (op == "|") value = value | right;
                else if (op == "&&") value = value && right;
                else value = value || right;
            }
        }

        bool orElse(int64_t& v, int d) { return binary(v, d, &Expression::andAlso, {"||"}); }
        bool andAlso(int64_t& v, int d) { return binary(v, d, &Expression::bitOr, {"&&"}); }
        bool bitOr(int64_t& v, int d) { return binary(v, d, &Expression::bitXor, {"|"}); }
        bool bitXor(int64_t& v, int d) { return binary(v, d, &Expression::bitAnd, {"^"}); }
        bool bitAnd(int64_t& v, int d) { return binary(v, d, &Expression::equality, {"&"}); }
        bool equality(int64_t& v, int d) { return binary(v, d, &Expression::relation, {"==", "!="}); }
        bool relation(int64_t& v, int d) { return binary(v, d, &Expression::shift, {"<", ">", "<=", ">="}); }
        bool shift(int64_t& v, int d) { return binary(v, d, &Expression::sum, {"<<", ">>"}); }
        bool sum(int64_t& v, int d) { return binary(v, d, &Expression::product, {"+", "-"}); }
        bool product(int64_t& v, int d) { return binary(v, d, &Expression::unary, {"*", "/", "%"}); }

        bool unary(int64_t& value, int depth) {
            if (depth > deepestNesting) return fail("nests its #if condition too deep");
            if (next("+")) return unary(value, depth + 1);
            if (next("-") || next("~") || next("!")) {
                const std::string op = terms[at - 1].text;
                if (!unary(value, depth + 1)) return false;
                value = op == "-" ? static_cast<int64_t>(0 - static_cast<uint64_t>(value)) : op == "~" ? ~value : !value;
                return true;
            }
            if (next("(")) {
                if (!orElse(value, depth + 1)) return false;
                if (!next(")")) return fail("has a `(` without its `)` in #if");
                return true;
            }
            if (at >= terms.size()) return fail("has a condition that ends too soon");
            const Token& term = terms[at++];
            if (term.kind == Token::identifier) {
                value = 0;
                return true;
            }
            if (term.kind != Token::number) return fail("has '" + term.text + "' where #if wants a number");
            return integer(term.text, value);
        }

        bool integer(const std::string& text, int64_t& value) {
            std::string digits = text;
            if (!digits.empty() && (digits.back() == 'u' || digits.back() == 'U')) digits.pop_back();
            int base = 10;
            size_t start = 0;
            if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
                base = 16;
                start = 2;
            } else if (digits.size() > 1 && digits[0] == '0') {
                base = 8;
                start = 1;
            }
            uint64_t total = 0;
            for (size_t i = start; i < digits.size(); ++i) {
                const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(digits[i])));
                const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : 99;
                if (digit >= base) return fail("has the number " + text + ", which #if can't take");
                total = total * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
            }
            value = static_cast<int64_t>(total);
            return true;
        }
    };
};

} // namespace

bool preprocessShader(const std::string& source, PreprocessedShader& result, std::string& error) {
    result = PreprocessedShader();
    Preprocessor preprocessor(result);
    if (preprocessor.run(source)) return true;
    error = preprocessor.error;
    return false;
}

} // namespace glroute
