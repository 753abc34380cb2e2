package pbq;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * Reads the small JSON texts of a view (the members before "queue", a few entries) into
 * maps, lists, strings, Long or Double, Boolean and null. The texts come from the
 * library, so the reader trusts their shape and only decodes them.
 */
final class JsonText {
  private final String text;
  private int at;

  private JsonText(String text) {
    this.text = text;
  }

  static Object read(String text) {
    return new JsonText(text).value();
  }

  private Object value() {
    char c = text.charAt(at);
    switch (c) {
      case '{': {
        Map<String, Object> members = new LinkedHashMap<>();
        at++;
        while (text.charAt(at) != '}') {
          String key = string();
          at++; // ':'
          members.put(key, value());
          if (text.charAt(at) == ',') at++;
        }
        at++;
        return members;
      }
      case '[': {
        List<Object> elements = new ArrayList<>();
        at++;
        while (text.charAt(at) != ']') {
          elements.add(value());
          if (text.charAt(at) == ',') at++;
        }
        at++;
        return elements;
      }
      case '"':
        return string();
      case 't':
        at += 4;
        return Boolean.TRUE;
      case 'f':
        at += 5;
        return Boolean.FALSE;
      case 'n':
        at += 4;
        return null;
      default:
        return number();
    }
  }

  private Object number() {
    int start = at;
    boolean real = false;
    while (at < text.length() && "+-0123456789.eE".indexOf(text.charAt(at)) >= 0) {
      real |= "eE.".indexOf(text.charAt(at)) >= 0;
      at++;
    }
    String digits = text.substring(start, at);
    return real ? (Object) Double.parseDouble(digits) : (Object) Long.parseLong(digits);
  }

  private String string() {
    StringBuilder out = new StringBuilder();
    at++; // the opening quote
    while (true) {
      char c = text.charAt(at++);
      if (c == '"') return out.toString();
      if (c != '\\') {
        out.append(c);
        continue;
      }
      char e = text.charAt(at++);
      switch (e) {
        case 'b': out.append('\b'); break;
        case 'f': out.append('\f'); break;
        case 'n': out.append('\n'); break;
        case 'r': out.append('\r'); break;
        case 't': out.append('\t'); break;
        case 'u':
          out.append((char) Integer.parseInt(text.substring(at, at + 4), 16));
          at += 4;
          break;
        default: out.append(e); // '"', '\\', '/'
      }
    }
  }
}
