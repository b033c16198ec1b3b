## blocks = example_blocks (root)
## blocks = example_blocks (root, out_dir)
##
## The examples that users read: every code block of README.md and
## doc/guide.md, and every example in the help texts (toolbox/help/*.m and
## the help block of each toolbox/*.m). One element per example, with the
## fields
##   where     "file:line" of its first line
##   code      its text
##   run       false for a block that is shown but not run
##   expected  what it must print, a cell of strings (see below)
## With out_dir, also writes each example's code to out_dir as a script
## named after its file and line (readme_md_12.m), and returns its path in
## the field "script".
##
## The conventions, which the texts follow:
## - Markdown: a block fenced ```octave is an example, run on its own in a
##   fresh octave-cli. ```octave norun marks Octave code that is shown but
##   not run (it installs a package or builds into the repository). Other
##   fences (```sh, ```text) are not Octave code.
## - Help texts: the examples are the lines indented by five spaces after a
##   line "Example:" or "Examples:", up to the next line indented by three
##   ("Notes:", "See also ..."); a blank comment line ends one example.
## - Expected output: a comment "% -> TEXT", at the end of a line or on its
##   own, says that TEXT is printed; in Markdown a ```text block that
##   follows an example, with only prose between them (no heading, no
##   other block), is its output, each non-empty line printed in order.
##   Runs of white space compare equal to one space, so "x = 1" matches
##   Octave's "x = 1" and MATLAB's "x =\n\n     1"; a measured time, a
##   number followed by " s" ("0.02 s"), matches any other.

function blocks = example_blocks (root, out_dir)
  blocks = struct ("where", {}, "code", {}, "run", {}, "expected", {}, "script", {});
  for doc = {"README.md", fullfile("doc", "guide.md")}
    blocks = [blocks, markdown_blocks(root, doc{1})];
  endfor
  helps = [dir(fullfile (root, "toolbox", "*.m")); dir(fullfile (root, "toolbox", "help", "*.m"))];
  for k = 1:numel (helps)
    blocks = [blocks, help_blocks(root, fullfile (helps(k).folder, helps(k).name))];
  endfor
  for k = 1:numel (blocks)
    markers = regexp (blocks(k).code, '%\s*->\s*([^\n]*\S)', 'tokens');
    blocks(k).expected = [cellfun(@(t) t{1}, markers, "UniformOutput", false), blocks(k).expected];
    if (nargin > 1)
      name = regexprep (lower (blocks(k).where), '[^a-z0-9]+', '_');
      blocks(k).script = fullfile (out_dir, [name ".m"]);
      fid = fopen (blocks(k).script, "w");
      fprintf (fid, "%s\n", blocks(k).code);
      fclose (fid);
    endif
  endfor
endfunction

function blocks = markdown_blocks (root, name)
  blocks = struct ("where", {}, "code", {}, "run", {}, "expected", {}, "script", {});
  lines = strsplit (fileread (fullfile (root, name)), "\n");
  k = 1;
  last_example = 0;   # the block whose output a ```text block may be
  while (k <= numel (lines))
    fence = regexp (lines{k}, '^```(\S*)\s*(\S*)', 'tokens', 'once');
    if (isempty (fence))
      if (strncmp (lines{k}, "#", 1))
        last_example = 0;
      endif
      k += 1;
      continue;
    endif
    close = k + find (strcmp (lines(k+1:end), "```"), 1);
    assert (! isempty (close), "%s:%d: a block that is not closed", name, k);
    body = lines(k+1:close-1);
    if (strcmp (fence{1}, "octave"))
      blocks(end+1) = struct ("where", sprintf ("%s:%d", name, k + 1),
                              "code", strjoin (body, "\n"),
                              "run", ! strcmp (fence{2}, "norun"), "expected", {{}}, "script", "");
      last_example = numel (blocks);
    elseif (strcmp (fence{1}, "text") && last_example > 0)
      blocks(last_example).expected = body(! cellfun ("isempty", strtrim (body)));
      last_example = 0;
    else
      last_example = 0;
    endif
    k = close + 1;
  endwhile
endfunction

function blocks = help_blocks (root, file)
  blocks = struct ("where", {}, "code", {}, "run", {}, "expected", {}, "script", {});
  lines = strsplit (fileread (file), "\n");
  ## The help block: the first run of comment lines.
  comment = ! cellfun ("isempty", regexp (lines, '^\s*%', "once"));
  first = find (comment, 1);
  last = find (! comment(first:end), 1) + first - 2;
  if (isempty (last))
    last = numel (lines);
  endif
  text = regexprep (lines(first:last), '^\s*%', '');
  start = find (! cellfun ("isempty", regexp (text, '^   Examples?:\s*$', "once")), 1);
  if (isempty (start))
    return;
  endif
  name = strrep (file(numel (root) + 2:end), filesep (), "/");
  code = {};
  for k = start+1:numel (text) + 1
    if (k <= numel (text) && ! isempty (regexp (text{k}, '^     ', "once")))
      if (isempty (code))
        at = first + k - 1;
      endif
      code{end+1} = text{k}(6:end);
    elseif (! isempty (code))
      blocks(end+1) = struct ("where", sprintf ("%s:%d", name, at), "code", strjoin (code, "\n"),
                              "run", true, "expected", {{}}, "script", "");
      code = {};
    endif
    if (k <= numel (text) && ! isempty (regexp (text{k}, '^   \S', "once")))
      break;
    endif
  endfor
endfunction
