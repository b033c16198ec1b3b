## doc/guide.md against the commands: its parameter table is what
## tarn_parameter_table gives, and it explains every message that the
## commands can end a call with.

%!shared root, guide
%! root = canonicalize_file_name (fullfile (fileparts (which ("run_octave_tests")), "..", ".."));
%! guide = fileread (fullfile (root, "doc", "guide.md"));

%!test
%! ## Regenerate the table (scripts/parameter_table.sh --write does it) and
%! ## compare.
%! block = regexp (guide, '<!-- parameter table: begin [^\n]*-->\n(.*?)<!-- parameter table: end -->',
%!                 'tokens', 'once');
%! assert (! isempty (block), "the guide has no parameter table markers");
%! assert (block{1}, tarn_parameter_table ());

%!test
%! ## Every message of every entry, with its numbers and what it received
%! ## as any digits or letters, appears in the guide.
%! for entry = {fullfile("learn", "learn_entry.cpp"), fullfile("score", "score_entry.cpp"), ...
%!              fullfile("learn", "resume_entry.cpp"), fullfile("score", "evidence_entry.cpp")}
%!   source = fileread (fullfile (root, entry{1}));
%!   formats = regexp (source, '"%s: ((?:[^"\\]|\\.)*)"', 'tokens');
%!   assert (numel (formats) >= 10);
%!   for k = 1:numel (formats)
%!     text = regexprep (formats{k}{1}, '\\n$', '');
%!     pattern = strrep (strrep (regexptranslate ("escape", text), '%d', '\w+'), '%s', '[^`]+');
%!     assert (! isempty (regexp (guide, pattern, "once")), "the guide lacks: %s", text);
%!   endfor
%! endfor

%!test
%! ## The first model in five lines gives what the guide says it gives.
%! section = regexp (guide, '## A first model in five lines\n(.*?)\n## ', 'tokens', 'once'){1};
%! code = regexp (section, '```octave\n(.*?)```', 'tokens', 'once'){1};
%! shown = regexp (section, '```text\n(.*?)```', 'tokens', 'once'){1};
%! assert (numel (strsplit (strtrim (code), "\n")), 5);
%! printed = evalc (code);
%! assert (! isempty (strfind (printed, shown)), "the guide shows %s", shown);
%! assert (size (T), [5 9]);
%! assert (L, [1; 2; 3; 3; 2]);
%! assert (n, 3);
%! ## The reports it prints are the ones the guide explains.
%! report = regexp (guide, '```text\n(GAM training stopped.*?)```', 'tokens', 'once'){1};
%! assert (! isempty (strfind (printed, regexprep (report, '\d+ FLOPs and \d+ comparisons in \d+ seconds\n$', ''))));
