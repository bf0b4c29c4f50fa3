// The binding of ZorvSegmenter: the extension module _zorvsegment, with
// its Python proxy zorvsegment/binding.py.
%module(package="zorvsegment", threads="1") binding

%{
#include <new>
#include <stdexcept>

#include "ZorvSegmenter.h"
#include "zorvseg_mode.h"
%}

%include <exception.i>
%include <stdint.i>
%include <std_string.i>
%include <std_vector.i>

%template(StringVector) std::vector<std::string>;

// The interpreter lock is released while the library works; these return
// at once and keep it.
%nothread ZorvSegmenter::GetDefaultMode;
%nothread ZorvSegmenter::GetMode;
%nothread ZorvSegmenter::GetDataDir;

// C++ exceptions become Python ones (the interpreter lock is taken back
// before the handler runs).
%exception {
  try {
    $action
  } catch (const std::logic_error& e) {
    SWIG_exception(SWIG_RuntimeError, e.what());
  } catch (const std::bad_alloc&) {
    SWIG_exception(SWIG_MemoryError, "out of memory");
  } catch (const std::exception& e) {
    SWIG_exception(SWIG_RuntimeError, e.what());
  }
}

// A method called on None (ZorvSegmenter.Segment(None, ...)) would run on a
// null object.
%typemap(check) SWIGTYPE* self {
  if ($1 == NULL) {
    SWIG_exception_fail(SWIG_TypeError, "in method '$symname', argument 1 of type '$1_type'");
  }
}

// Tokens come back as a list of (word, tag, start, end) tuples.
%typemap(out) std::vector<ZorvToken> {
  const std::vector<ZorvToken>& tokens = $1;
  $result = PyList_New(static_cast<Py_ssize_t>(tokens.size()));
  if ($result == NULL) SWIG_fail;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const ZorvToken& token = tokens[i];
    PyObject* item = Py_BuildValue(
        "(NNnn)",
        PyUnicode_DecodeUTF8(token.word.data(), static_cast<Py_ssize_t>(token.word.size()),
                             "surrogateescape"),
        PyUnicode_FromString(token.tag.c_str()), static_cast<Py_ssize_t>(token.start),
        static_cast<Py_ssize_t>(token.end));
    if (item == NULL) {
      Py_DECREF($result);
      $result = NULL;
      SWIG_fail;
    }
    PyList_SET_ITEM($result, static_cast<Py_ssize_t>(i), item);
  }
}

%ignore ZorvToken;
%include "zorvseg_mode.h"
%include "ZorvSegmenter.h"
